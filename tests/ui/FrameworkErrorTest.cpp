// The program's application object: an error that no handler catches is shown and the program
// goes on.

#include "ui/FrameworkError.h"

#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FrameworkError, AnErrorNoHandlerCatchesIsShownAndTheProgramGoesOn)
{
    static int argc = 1;
    static char name[] = "FrameworkErrorTest";
    static char* argv[] = {name, nullptr};
    static auto* app = new ui::Application(argc, argv);  // never destroyed, as in the other tests
    QStringList shown;
    ui::setFrameworkErrorHandler([&](const QString& message) { shown << message; });
    bool after = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("ファイルを読み込めません"); });
    QTimer::singleShot(0, [&] { after = true; });
    for (int i = 0; i < 100 && !after; ++i)
        app->processEvents();
    ui::setFrameworkErrorHandler({});
    EXPECT_EQ(shown, QStringList{QStringLiteral("ファイルを読み込めません")});
    EXPECT_TRUE(after);
}

}  // namespace
