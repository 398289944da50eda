#include "support/FormWithDocks.h"
#include "support/TestApplication.h"

#include "docking/DockColors.h"
#include "docking/DockHost.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace docking;
using testsupport::toolbar;

namespace {

class TDockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::app();
        form = std::make_unique<QWidget>();
        form->resize(400, 300);
    }
    std::unique_ptr<QWidget> form;
};

std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST_F(TDockTest, PlacesToolbarsAtTheFittedPositionsOfTheirRow)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 200, 0);
    dock->suspendArrange();
    // Lengths 100, 60 and 80: content plus a 2-pixel border on each side, no handle.
    TToolbar* a = toolbar(dock, "A", 1, {96, 25}, dhNone);
    TToolbar* b = toolbar(dock, "B", 1, {56, 25}, dhNone);
    TToolbar* c = toolbar(dock, "C", 1, {76, 25}, dhNone);
    a->setDockPos(0);
    b->setDockPos(50);
    c->setDockPos(300);
    dock->resumeArrange();

    EXPECT_EQ(a->geometry(), QRect(0, 0, 100, 29));
    EXPECT_EQ(b->geometry(), QRect(100, 0, 60, 29));
    EXPECT_EQ(c->geometry(), QRect(160, 0, 80, 29));
    EXPECT_EQ(c->dockPos(), 300);
    EXPECT_EQ(dock->height(), 29);

    dock->layoutDockRows(true);
    EXPECT_EQ(c->dockPos(), 160);
}

TEST_F(TDockTest, SuspendedDockArrangesOnceWhenResumed)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    TToolbar* a = toolbar(dock, "A", 2);
    dock->suspendArrange();
    dock->suspendArrange();
    a->setDockRow(3);
    a->setDockPos(40);
    EXPECT_EQ(a->x(), 0);
    dock->resumeArrange();
    EXPECT_EQ(a->x(), 0);
    dock->resumeArrange();
    EXPECT_EQ(a->x(), 40);
    EXPECT_EQ(a->dockRow(), 0);  // the empty rows before it closed
}

TEST_F(TDockTest, SecondRowStacksBelowAndBoundLinesTakeOnePixel)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    dock->setBoundLines(blTop | blBottom);
    TToolbar* a = toolbar(dock, "A", 2);
    TToolbar* b = toolbar(dock, "B", 1, {30, 40});
    b->setDockRow(1);
    EXPECT_EQ(a->geometry().topLeft(), QPoint(0, 1));
    EXPECT_EQ(a->height(), 29);
    // B joined row 0 after A (at 73) and keeps that position in its new row.
    EXPECT_EQ(b->geometry().topLeft(), QPoint(73, 30));
    EXPECT_EQ(b->height(), 44);
    EXPECT_EQ(dock->height(), 1 + 29 + 44 + 1);
    EXPECT_EQ(dock->rowAtOffset(30), (RowHit{1, true}));
}

TEST_F(TDockTest, HiddenToolbarsLeaveAnEmptyDockThatKeepsOnePixelWithFixAlign)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    TToolbar* a = toolbar(dock, "A", 2);
    a->setDockPos(50);
    EXPECT_EQ(dock->height(), 29);
    a->setVisible(false);
    EXPECT_EQ(dock->height(), 0);
    dock->setFixAlign(true);
    EXPECT_EQ(dock->height(), 1);
    a->setVisible(true);
    EXPECT_EQ(dock->height(), 29);
    EXPECT_EQ(a->x(), 50);
}

TEST_F(TDockTest, BottomAndRightDocksKeepTheirFarEdge)
{
    auto* bottom = new TDock(form.get(), dpBottom);
    bottom->setGeometry(0, 300, 400, 0);
    toolbar(bottom, "A", 2);
    EXPECT_EQ(bottom->geometry(), QRect(0, 271, 400, 29));

    auto* right = new TDock(form.get(), dpRight);
    right->setGeometry(400, 0, 0, 300);
    TToolbar* v = toolbar(right, "V", 3);
    EXPECT_EQ(right->geometry(), QRect(366, 0, 34, 300));
    // In a vertical dock the buttons stand in a column below the handle.
    EXPECT_EQ(v->size(), QSize(34, 3 * 25 + 4 + 9));
    const QList<TToolbarButton*> buttons = v->findChildren<TToolbarButton*>();
    EXPECT_EQ(buttons.at(1)->pos(), QPoint(2, 2 + 9 + 25));
}

TEST_F(TDockTest, FullSizeToolbarSpansTheDockInARowOfItsOwn)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    TToolbar* a = toolbar(dock, "A", 2);
    TToolbar* b = toolbar(dock, "B", 2);
    b->setFullSize(true);
    EXPECT_EQ(b->geometry(), QRect(0, 0, 400, 29));
    EXPECT_EQ(a->dockRow(), 1);
    EXPECT_EQ(a->y(), 29);
}

TEST_F(TDockTest, HiddenChildrenOfAToolbarTakeNoRoom)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    TToolbar* a = toolbar(dock, "A", 3);
    const QList<TToolbarButton*> buttons = a->findChildren<TToolbarButton*>();
    buttons.at(1)->hide();
    a->arrangeContents();
    EXPECT_EQ(a->width(), 2 * 30 + 4 + 9);
    EXPECT_EQ(buttons.at(2)->x(), 2 + 9 + 30);
}

TEST_F(TDockTest, RuleBreakingPlacementsFailWithTheirMessages)
{
    auto* dock = new TDock(form.get(), dpTop);
    toolbar(dock, "A", 1);
    EXPECT_EQ(messageOf([&] { dock->setPosition(dpLeft); }),
              "Cannot change Position of a TDock if it already contains controls");
    EXPECT_EQ(dock->position(), dpTop);

    TToolbar* a = dock->findChild<TToolbar*>();
    EXPECT_EQ(messageOf([&] { new TDock(a); }),
              "A TDock control cannot be placed inside a tool window or another TDock");
    EXPECT_EQ(messageOf([&] { new TDock(dock); }),
              "A TDock control cannot be placed inside a tool window or another TDock");

    auto* panel = new QWidget(form.get());
    EXPECT_EQ(messageOf([&] { new TToolbar(panel); }),
              "A tool window can only be placed on a TDock or directly on the form");
    EXPECT_EQ(messageOf([&] { new TToolbar(form.get()); }), "");
}

TEST_F(TDockTest, SignalsReportInsertRemoveAndResize)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    form->show();  // hidden widgets get their resize events only when shown
    QSignalSpy inserted(dock, &TDock::insertRemoveBar);
    QSignalSpy resized(dock, &TDock::resized);
    TToolbar* a = toolbar(dock, "A", 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_GE(resized.count(), 1);
    delete a;
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_FALSE(inserted.last().at(1).toBool());
    EXPECT_EQ(dock->height(), 0);
}

TEST_F(TDockTest, FormLoadingDefersArrangementUntilTheLoadEnds)
{
    setFormLoading(form.get(), true);
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 400, 0);
    TToolbar* a = toolbar(dock, "A", 1);
    TToolbar* b = toolbar(dock, "B", 1);
    a->setDockPos(100);
    b->setDockPos(10);
    EXPECT_EQ(dock->height(), 0);
    setFormLoading(form.get(), false);
    EXPECT_EQ(b->x(), 10);
    EXPECT_EQ(a->x(), 100);
    EXPECT_EQ(docksOf(form.get()), QList<TDock*>{dock});
    EXPECT_EQ(toolWindowsOf(form.get()), (QList<TCustomToolWindow*>{a, b}));
}

TEST_F(TDockTest, DrawsBoundLinesInShadowAndHighlightAndTilesTheBackground)
{
    auto* dock = new TDock(form.get(), dpTop);
    dock->setGeometry(0, 0, 200, 0);
    dock->setBoundLines(blTop | blBottom);
    toolbar(dock, "A", 1);
    const QImage img = dock->grab().toImage();
    EXPECT_EQ(img.pixel(100, 0), systemColor(16, dock->palette()).rgb());
    EXPECT_EQ(img.pixel(100, img.height() - 1), systemColor(20, dock->palette()).rgb());

    // A 2x2 tile whose bottom-left pixel colour turns into the dock colour when transparent.
    QImage tile(2, 2, QImage::Format_RGB32);
    tile.fill(Qt::red);
    tile.setPixelColor(0, 1, Qt::blue);
    auto* plain = new TDock(form.get(), dpBottom);
    plain->setGeometry(0, 250, 200, 0);
    toolbar(plain, "B", 1);
    plain->setColor(0x0000FF00);  // green
    plain->setBackground(QPixmap::fromImage(tile));
    plain->move(0, 271);  // odd offset from the form: the pattern is anchored to the form
    QImage shot = plain->grab().toImage();
    EXPECT_EQ(shot.pixelColor(190, 0), QColor(Qt::blue));
    EXPECT_EQ(shot.pixelColor(190, 1), QColor(Qt::red));
    plain->setBackgroundTransparent(true);
    shot = plain->grab().toImage();
    EXPECT_EQ(shot.pixelColor(190, 0), QColor(Qt::green));
}

TEST_F(TDockTest, DockHostPutsDocksAroundTheCentralWidget)
{
    DockHost host;
    auto* top = new TDock(&host, dpTop);
    auto* left = new TDock(&host, dpLeft);
    auto* right = new TDock(&host, dpRight);
    host.addDock(top);
    host.addDock(left);
    host.addDock(right);
    auto* central = new QWidget;
    host.setCentralWidget(central);
    toolbar(top, "T", 2);
    toolbar(left, "L", 2);
    host.resize(500, 300);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_EQ(top->geometry(), QRect(0, 0, 500, 29));
    EXPECT_EQ(left->geometry(), QRect(0, 29, 34, 271));
    EXPECT_EQ(right->width(), 0);
    EXPECT_EQ(central->geometry(), QRect(34, 29, 466, 271));
}
