#pragma once
// The one QApplication of a test program, made on first use (the tests run it on the offscreen
// platform that ctest sets).

#include <QApplication>

namespace testsupport {

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "comment-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's input devices do not survive the static destruction order at exit.
    static auto* a = new QApplication(argc, argv);
    return *a;
}

}  // namespace testsupport
