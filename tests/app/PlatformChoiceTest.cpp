#include "app/PlatformChoice.h"

#include <gtest/gtest.h>

using app::choosePlatform;

namespace {
const std::vector<std::string> kNoArgs{"Comment"};
}

TEST(PlatformChoice, WaylandWithXWaylandRunsThroughX11AndSaysWhy)
{
    const app::PlatformChoice c = choosePlatform({"wayland-0", ":1", std::nullopt}, kNoArgs);
    EXPECT_EQ(c.qpaPlatform, "xcb;wayland");
    EXPECT_NE(c.message.find("X11 (xcb)"), std::string::npos);
    EXPECT_EQ(c.message.find('\n'), std::string::npos);
}

TEST(PlatformChoice, TheUsersOwnChoiceWins)
{
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", "wayland"}, kNoArgs).qpaPlatform, "");
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", "wayland"}, kNoArgs).message, "");
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", std::nullopt}, {"Comment", "-platform", "wayland"}).qpaPlatform, "");
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", std::nullopt}, {"Comment", "--platform", "wayland"}).qpaPlatform, "");
    // An empty variable is no choice, as Qt reads it.
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", ""}, kNoArgs).qpaPlatform, "xcb;wayland");
}

TEST(PlatformChoice, X11SessionsAndWaylandOnlyKeepQtsDefault)
{
    const app::PlatformChoice x11 = choosePlatform({std::nullopt, ":0", std::nullopt}, kNoArgs);
    EXPECT_EQ(x11.qpaPlatform, "");
    EXPECT_EQ(x11.message, "");
    const app::PlatformChoice waylandOnly = choosePlatform({"wayland-0", std::nullopt, std::nullopt}, kNoArgs);
    EXPECT_EQ(waylandOnly.qpaPlatform, "");
    EXPECT_NE(waylandOnly.message.find("without XWayland"), std::string::npos);
    // The program name is never read as an option.
    EXPECT_EQ(choosePlatform({"wayland-0", ":1", std::nullopt}, {"-platform"}).qpaPlatform, "xcb;wayland");
}
