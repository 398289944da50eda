#include "platform/qt/ShellOpen.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

UrlOpener& opener()
{
    static UrlOpener current = openWithDesktop;
    return current;
}

}  // namespace

void ShellOpen(const QString& address) { opener()(address); }

UrlOpener setUrlOpener(UrlOpener replacement)
{
    UrlOpener previous = std::move(opener());
    opener() = replacement ? std::move(replacement) : UrlOpener(openWithDesktop);
    return previous;
}

void openWithDesktop(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return;
    if (QDesktopServices::openUrl(url))
        return;
    // Window system plugins without desktop services (offscreen, minimal) refuse; xdg-open is the
    // same opener the full desktop integration would have used.
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

}  // namespace platform
