#pragma once
// Stand-in for ShellExecute with the verb "OPEN" on a web address: the desktop's URL opener gets
// the address and the call returns at once. Whether a browser comes up is not reported; without a
// browser or a connection nothing happens, which is what the user is warned about beforehand.

#include <QString>

#include <functional>

namespace platform {

using UrlOpener = std::function<void(const QString& address)>;

void ShellOpen(const QString& address);

// Replaces the opener (tests record the addresses instead of starting a browser) and gives back
// the one that was in force. An empty opener restores the desktop's.
UrlOpener setUrlOpener(UrlOpener opener);

// The desktop's opener: Qt's desktop services, which start xdg-open here, directly (never through
// a shell) when the window system plugin offers no such service.
void openWithDesktop(const QString& address);

}  // namespace platform
