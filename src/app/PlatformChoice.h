#pragma once
// Which window system plugin the program asks Qt for. Under a Wayland compositor that offers
// XWayland the X11 plugin is preferred: there a window can be placed where it was stored and a
// floating toolbar can be put where it is dropped, which Wayland leaves to the compositor. Plain C++
// so the decision is tested without a display.

#include <optional>
#include <string>
#include <vector>

namespace app {

struct SessionEnvironment {
    std::optional<std::string> waylandDisplay;  // WAYLAND_DISPLAY
    std::optional<std::string> display;         // DISPLAY
    std::optional<std::string> qpaPlatform;     // QT_QPA_PLATFORM
};

struct PlatformChoice {
    std::string qpaPlatform;  // to set as QT_QPA_PLATFORM; empty: leave Qt's own choice alone
    std::string message;      // one line for stderr; empty: nothing worth saying
};

// args: the command line as given, program name first.
PlatformChoice choosePlatform(const SessionEnvironment& env, const std::vector<std::string>& args);

// Reads the environment and the command line, sets QT_QPA_PLATFORM and writes the message.
// Call before the application object exists.
void preferX11UnderXWayland(int argc, char** argv);

}  // namespace app
