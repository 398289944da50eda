#include "support/FormWithDocks.h"
#include "support/TestApplication.h"

#include "docking/DockHost.h"
#include "docking/DragOutline.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TFloatingWindowParent.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace docking;

namespace {

// The main window's arrangement: three toolbars in the top dock, empty left and right docks.
class DragTest : public ::testing::Test, protected testsupport::FormWithDocks {
protected:
    void SetUp() override
    {
        testsupport::app();
        static_cast<FormWithDocks&>(*this) =
            testsupport::formWithDocks(QRect(100, 100, 600, 400), [](FormWithDocks& f) {
                f.dock1->setFixAlign(true);
                f.dock1->setBoundLines(blTop);
                f.form->setCentralWidget(new QWidget);
            });
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Presses on the drag handle, moves to `screen`, and leaves the button held.
    void dragTo(TCustomToolWindow* tw, const QPoint& screen, QPoint grab = QPoint(4, 10))
    {
        QTest::mousePress(tw, Qt::LeftButton, {}, grab);
        QTest::mouseMove(tw, tw->mapFromGlobal(screen));
        last = screen;
    }

    void release(TCustomToolWindow* tw) { QTest::mouseRelease(tw, Qt::LeftButton, {}, tw->mapFromGlobal(last)); }

    QPoint central(int x, int y) const { return form->centralWidget()->mapToGlobal(QPoint(x, y)); }

    QPoint last;
};

}  // namespace

TEST_F(DragTest, DesignedArrangementStandsInTheTopDock)
{
    EXPECT_EQ(toolbar3->geometry(), QRect(0, 1, 133, 29));
    EXPECT_EQ(toolbar1->pos(), QPoint(137, 1));
    EXPECT_EQ(toolbar2->pos(), QPoint(274, 1));
    EXPECT_EQ(dock1->height(), 30);
    EXPECT_EQ(dock2->width(), 0);
}

TEST_F(DragTest, ToolbarMovesIntoTheLeftDockOutToFloatingAndBack)
{
    QSignalSpy changed(toolbar1, &TCustomToolWindow::dockChanged);

    // Into the empty left dock: the outline is the vertical toolbar's, drawn one pixel thick.
    const QPoint leftDock = dock2->mapToGlobal(QPoint(0, 40));
    dragTo(toolbar1, leftDock);
    ASSERT_TRUE(toolbar1->isDragging());
    EXPECT_EQ(toolbar1->dragTarget(), dock2);
    EXPECT_EQ(toolbar1->dragOutline().size(), QSize(34, 4 * 25 + 4 + 9));
    EXPECT_EQ(toolbar1->dragOutlineThickness(), 1);
    release(toolbar1);
    EXPECT_FALSE(toolbar1->isDragging());
    EXPECT_EQ(toolbar1->dockedTo(), dock2);
    EXPECT_EQ(toolbar1->dockRow(), 0);
    EXPECT_EQ(toolbar1->size(), QSize(34, 113));
    EXPECT_EQ(dock2->width(), 34);
    EXPECT_EQ(changed.count(), 1);
    // The top dock closed the gap only as far as the designed positions allow.
    EXPECT_EQ(toolbar2->pos(), QPoint(274, 1));

    // Out over the middle of the window: a floating outline with the floating frame's thickness.
    dragTo(toolbar1, central(250, 200), QPoint(10, 4));
    EXPECT_EQ(toolbar1->dragTarget(), nullptr);
    EXPECT_EQ(toolbar1->dragOutlineThickness(), TCustomToolWindow::kFloatingFrame);
    const QRect floatingOutline = toolbar1->dragOutline();
    EXPECT_EQ(floatingOutline.size(), toolbar1->floatingWindowSize());
    release(toolbar1);
    ASSERT_TRUE(toolbar1->isFloating());
    EXPECT_EQ(toolbar1->dockedTo(), nullptr);
    EXPECT_EQ(toolbar1->lastDock(), dock2);
    EXPECT_EQ(toolbar1->floatingPosition(), floatingOutline.topLeft());
    auto* floating = qobject_cast<TFloatingWindowParent*>(toolbar1->parentWidget());
    ASSERT_NE(floating, nullptr);
    EXPECT_EQ(floating->geometry(), floatingOutline);
    EXPECT_EQ(dock2->width(), 0);

    // Back by its caption into the top dock, to the right of the other two.
    const QPoint topRight = dock1->mapToGlobal(QPoint(500, 15));
    QTest::mousePress(floating, Qt::LeftButton, {}, QPoint(20, 8));
    QTest::mouseMove(floating, floating->mapFromGlobal(topRight));
    EXPECT_EQ(toolbar1->dragTarget(), dock1);
    QTest::mouseRelease(floating, Qt::LeftButton, {}, floating->mapFromGlobal(topRight));
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
    EXPECT_EQ(toolbar1->dockRow(), 0);
    EXPECT_FALSE(floating->isVisible());
    EXPECT_GT(toolbar1->x(), toolbar2->x());
    EXPECT_EQ(toolbar1->y(), 1);
}

TEST_F(DragTest, EscapeAndOtherLeftPressesCancelWithoutAMove)
{
    dragTo(toolbar1, dock2->mapToGlobal(QPoint(0, 40)));
    ASSERT_EQ(toolbar1->dragTarget(), dock2);
    QTest::keyClick(toolbar1, Qt::Key_Escape);
    EXPECT_FALSE(toolbar1->isDragging());
    release(toolbar1);
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
    EXPECT_EQ(toolbar1->pos(), QPoint(137, 1));

    // Right button messages are ignored; a left press during the drag ends it.
    dragTo(toolbar1, dock2->mapToGlobal(QPoint(0, 40)));
    QTest::mouseClick(toolbar1, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(toolbar1->isDragging());
    QTest::keyClick(toolbar1, Qt::Key_A);
    EXPECT_TRUE(toolbar1->isDragging());
}

TEST_F(DragTest, CtrlFloatsEvenOverADock)
{
    const QPoint overDock = dock1->mapToGlobal(QPoint(500, 15));
    dragTo(toolbar1, overDock);
    EXPECT_EQ(toolbar1->dragTarget(), dock1);
    QTest::keyPress(toolbar1, Qt::Key_Control);
    EXPECT_EQ(toolbar1->dragTarget(), nullptr);
    EXPECT_EQ(toolbar1->dragOutlineThickness(), TCustomToolWindow::kFloatingFrame);
    QTest::keyRelease(toolbar1, Qt::Key_Control);
    EXPECT_EQ(toolbar1->dragTarget(), dock1);
    QTest::keyPress(toolbar1, Qt::Key_Control);
    release(toolbar1);
    EXPECT_TRUE(toolbar1->isFloating());
}

TEST_F(DragTest, CannotFloatShowsNoOutlineAndTheForbiddenCursor)
{
    toolbar1->setDockMode(dmCannotFloat);
    dragTo(toolbar1, central(250, 200));
    EXPECT_TRUE(toolbar1->dragOutline().isEmpty());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
    release(toolbar1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
    EXPECT_EQ(toolbar1->pos(), QPoint(137, 1));
}

TEST_F(DragTest, DroppingOnARowBoundaryOpensANewRowAndInsideJoinsTheRow)
{
    // Centre line a few pixels into the dock's top edge: a new row 0 opens above the others.
    dragTo(toolbar1, dock1->mapToGlobal(QPoint(40, -10)));
    ASSERT_EQ(toolbar1->dragTarget(), dock1);
    release(toolbar1);
    EXPECT_EQ(toolbar1->dockRow(), 0);
    EXPECT_EQ(toolbar3->dockRow(), 1);
    EXPECT_EQ(toolbar2->dockRow(), 1);
    EXPECT_EQ(dock1->height(), 1 + 29 + 29);

    // Dropped well inside the second row, it joins it at the dropped position.
    dragTo(toolbar1, dock1->mapToGlobal(QPoint(200, 1 + 29 + 14)), QPoint(4, 14));
    release(toolbar1);
    EXPECT_EQ(toolbar1->dockRow(), 0);  // the emptied first row closed
    EXPECT_EQ(dock1->height(), 30);
    EXPECT_EQ(toolbar1->x(), 200 - 4);
}

TEST_F(DragTest, DroppedLeftOfTheRowStartTheToolbarGoesFirst)
{
    // The outline starts 12 pixels before the dock: Toolbar1 goes in front of Toolbar3 at 0.
    dragTo(toolbar1, dock1->mapToGlobal(QPoint(-8, 14)), QPoint(4, 14));
    ASSERT_EQ(toolbar1->dragTarget(), dock1);
    release(toolbar1);
    EXPECT_EQ(toolbar1->dockRow(), 0);
    EXPECT_EQ(toolbar1->dockPos(), 0);
    EXPECT_EQ(toolbar3->dockPos(), toolbar1->width());
    EXPECT_EQ(toolbar2->dockPos(), 274);
}

TEST_F(DragTest, DoubleClickFloatsAndDocksBackIntoTheLastDock)
{
    QTest::mouseDClick(toolbar1, Qt::LeftButton, {}, QPoint(4, 10));
    ASSERT_TRUE(toolbar1->isFloating());
    auto* floating = qobject_cast<TFloatingWindowParent*>(toolbar1->parentWidget());
    ASSERT_NE(floating, nullptr);
    QTest::mouseDClick(floating, Qt::LeftButton, {}, QPoint(20, 8));
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
    EXPECT_EQ(toolbar1->pos(), QPoint(137, 1));

    // Without a last dock the default dock takes it after the tool windows of row 0.
    QTest::mouseDClick(toolbar1, Qt::LeftButton, {}, QPoint(4, 10));
    toolbar1->setLastDock(nullptr);
    toolbar1->setDefaultDock(dock3);
    toolbar1->doubleClickAction();
    EXPECT_EQ(toolbar1->dockedTo(), dock3);
}

TEST_F(DragTest, DoubleClickLeavesAToolbarInADockThatDoesNotAllowDragging)
{
    dock1->setAllowDrag(false);
    QTest::mouseDClick(toolbar1, Qt::LeftButton, {}, QPoint(4, 10));
    EXPECT_FALSE(toolbar1->isFloating());
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
}

TEST_F(DragTest, CloseButtonOfTheFloatingWindowHidesTheToolbar)
{
    toolbar1->floatAt(QPoint(300, 300));
    auto* floating = qobject_cast<TFloatingWindowParent*>(toolbar1->parentWidget());
    ASSERT_NE(floating, nullptr);
    ASSERT_TRUE(floating->isVisible());
    const QPoint close = floating->closeButtonRect().center();
    QTest::mouseClick(floating, Qt::LeftButton, {}, close);
    EXPECT_FALSE(toolbar1->isToolWindowVisible());
    EXPECT_FALSE(floating->isVisible());
    toolbar1->setVisible(true);
    EXPECT_TRUE(floating->isVisible());
}

TEST_F(DragTest, DocksOutsideDockableToOrRefusingTheRequestAreNoTargets)
{
    const QPoint leftDock = dock2->mapToGlobal(QPoint(0, 40));
    toolbar1->setDockableTo(dockPositionBit(dpTop) | dockPositionBit(dpRight));
    dragTo(toolbar1, leftDock);
    EXPECT_EQ(toolbar1->dragTarget(), nullptr);
    QTest::keyClick(toolbar1, Qt::Key_Escape);

    toolbar1->setDockableTo(kAllDockPositions);
    int asked = 0;
    dock2->setOnRequestDock([&](TDock* dock, TCustomToolWindow* tw) {
        ++asked;
        return dock == dock2 && tw != toolbar1;
    });
    dragTo(toolbar1, leftDock);
    EXPECT_GT(asked, 0);
    EXPECT_EQ(toolbar1->dragTarget(), nullptr);
    release(toolbar1);
    EXPECT_TRUE(toolbar1->isFloating());
}

TEST_F(DragTest, AnOutlineInsideTheWindowOpensNoWindowOfItsOwn)
{
    const auto windows = [] { return QApplication::topLevelWidgets().size(); };
    const qsizetype before = windows();
    const QRect r(form->mapToGlobal(QPoint(40, 50)), QSize(120, 30));

    DragOutline inside(form.get());
    inside.show(r, 3);
    EXPECT_EQ(windows(), before);
    bool topEdgeFound = false;
    for (const QWidget* w : form->findChildren<QWidget*>()) {
        if (w->isVisible() && w->geometry() == QRect(40, 50, 120, 3))
            topEdgeFound = true;
    }
    EXPECT_TRUE(topEdgeFound);
    inside.hide();

    DragOutline outside;  // the X11 frame: four windows over everything
    outside.show(r, 3);
    EXPECT_EQ(windows(), before + 4);
}
