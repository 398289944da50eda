#include "app/PlatformChoice.h"

#include <cstdio>
#include <cstdlib>

namespace app {
namespace {

bool isSet(const std::optional<std::string>& v) { return v && !v->empty(); }

bool platformOnCommandLine(const std::vector<std::string>& args)
{
    // Qt reads "-platform name" and "--platform name" (one leading dash is dropped).
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "-platform" || args[i] == "--platform")
            return true;
    }
    return false;
}

std::optional<std::string> environment(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

}  // namespace

PlatformChoice choosePlatform(const SessionEnvironment& env, const std::vector<std::string>& args)
{
    if (isSet(env.qpaPlatform) || platformOnCommandLine(args) || !isSet(env.waylandDisplay))
        return {};
    if (isSet(env.display)) {
        return {"xcb;wayland", "Comment: Wayland session with XWayland: using X11 (xcb) so window places and "
                               "floating toolbars work; set QT_QPA_PLATFORM to choose"};
    }
    return {"", "Comment: Wayland session without XWayland: the compositor places the windows, stored "
                "positions are kept as they are"};
}

void preferX11UnderXWayland(int argc, char** argv)
{
    const std::vector<std::string> args(argv, argv + argc);
    const PlatformChoice choice =
        choosePlatform({environment("WAYLAND_DISPLAY"), environment("DISPLAY"), environment("QT_QPA_PLATFORM")}, args);
    if (!choice.qpaPlatform.empty())
        setenv("QT_QPA_PLATFORM", choice.qpaPlatform.c_str(), 1);
    if (!choice.message.empty())
        std::fprintf(stderr, "%s\n", choice.message.c_str());
}

}  // namespace app
