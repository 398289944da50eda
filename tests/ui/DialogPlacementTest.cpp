// The four small dialogs open in the middle of the screen, wherever their owner sits.

#include "ui/ComColor.h"
#include "ui/ComPrin.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

using testsupport::app;

TEST(DialogPlacement, EveryDialogIsCentredOnTheScreenNotOnItsOwner)
{
    app();
    QWidget owner;
    owner.setGeometry(5, 5, 300, 200);  // far from the middle
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    auto expectCentred = [&](QWidget& dialog, const char* name) {
        const QPoint c = dialog.frameGeometry().center();
        EXPECT_LE((c - middle).manhattanLength(), 2) << name << " centre " << c.x() << "," << c.y();
    };
    TForm2 margins(&owner);
    expectCentred(margins, "TForm2");
    TForm3 colours(&owner);
    expectCentred(colours, "TForm3");
    TForm4 retention(&owner);
    expectCentred(retention, "TForm4");
    TForm5 warning(&owner);
    expectCentred(warning, "TForm5");
}

}  // namespace
