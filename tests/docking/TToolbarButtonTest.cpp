#include "support/FormWithDocks.h"
#include "support/TestApplication.h"

#include "docking/DockColors.h"

#include <QDialog>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace docking;

namespace {

// Five 10x10 images, image i filled with a colour of its own so that the test can see which shows.
QPixmap strip(int count)
{
    QPixmap p(10 * count, 10);
    QPainter painter(&p);
    for (int i = 0; i < count; ++i)
        painter.fillRect(10 * i, 0, 10, 10, QColor::fromHsv(60 * i, 255, 255));
    return p;
}

int shownImage(const TToolbarButton* b, int count)
{
    const QColor c = b->currentImage().toImage().pixelColor(5, 5);
    for (int i = 0; i < count; ++i)
        if (c.rgb() == QColor::fromHsv(60 * i, 255, 255).rgb())
            return i;
    return -1;
}

class TToolbarButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::app();
        QCursor::setPos(700, 550);  // away from the buttons until a test moves it
        form = std::make_unique<QWidget>();
        form->setGeometry(100, 100, 300, 100);
    }

    TToolbarButton* button(int numGlyphs = 5, int group = 0)
    {
        auto* b = new TToolbarButton(form.get());
        b->resize(30, 25);
        b->move(30 * static_cast<int>(form->children().size() - 1), 0);
        b->setGlyph(strip(numGlyphs));
        b->setNumGlyphs(numGlyphs);
        b->setGroupIndex(group);
        return b;
    }

    void showActive()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    std::unique_ptr<QWidget> form;
};

}  // namespace

TEST_F(TToolbarButtonTest, HoverShowsTheHotImageAndTheSharedTimerNoticesTheMouseLeaving)
{
    TToolbarButton* b = button();
    showActive();
    QSignalSpy entered(b, &TToolbarButton::mouseEntered);
    QSignalSpy exited(b, &TToolbarButton::mouseExited);
    QTest::mouseMove(b, QPoint(15, 12));
    EXPECT_EQ(b->state(), ButtonState::Hot);
    EXPECT_EQ(shownImage(b, 5), 4);
    EXPECT_EQ(entered.count(), 1);
    EXPECT_EQ(TToolbarButton::buttonUnderMouse(), b);

    QCursor::setPos(form->mapToGlobal(QPoint(250, 80)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return b->state() == ButtonState::Up; }, 1000));
    EXPECT_EQ(shownImage(b, 5), 0);
    EXPECT_EQ(exited.count(), 1);
}

TEST_F(TToolbarButtonTest, TwoImageButtonShowsTheUpImagePressedAndTheSecondDisabled)
{
    TToolbarButton* b = button(2);
    showActive();
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b->state(), ButtonState::Pressed);
    EXPECT_EQ(shownImage(b, 2), 0);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    b->setEnabled(false);
    EXPECT_EQ(b->state(), ButtonState::Disabled);
    EXPECT_EQ(shownImage(b, 2), 1);

    // One image: the disabled look is made from it.
    TToolbarButton* single = button(1);
    single->setEnabled(false);
    EXPECT_EQ(single->currentGlyphIndex(), -1);
    EXPECT_FALSE(single->currentImage().isNull());
}

TEST_F(TToolbarButtonTest, DisabledGlyphOnADarkFaceTakesTheThemesDisabledTextColour)
{
    TToolbarButton* single = button(1);  // red, a dark stroke colour
    QPalette dark = single->palette();
    dark.setColor(QPalette::Button, QColor(50, 50, 50));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(140, 140, 140));
    single->setPalette(dark);
    single->setEnabled(false);
    EXPECT_EQ(single->currentImage().toImage().pixelColor(5, 5), QColor(140, 140, 140));
}

TEST_F(TToolbarButtonTest, CategoryGroupKeepsExactlyOneButtonDown)
{
    TToolbarButton* group[4];
    for (TToolbarButton*& b : group)
        b = button(5, 1);
    TToolbarButton* plain = button(5, 0);
    showActive();
    group[0]->setDown(true);
    QSignalSpy clicks(group[2], &TToolbarButton::clicked);

    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(group[2]->down());
    EXPECT_FALSE(group[0]->down());
    EXPECT_EQ(group[0]->state(), ButtonState::Up);
    EXPECT_EQ(group[2]->state(), ButtonState::Down);

    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(group[2]->down());
    EXPECT_EQ(clicks.count(), 2);

    plain->setDown(true);
    EXPECT_FALSE(plain->down());
    EXPECT_TRUE(group[2]->down());

    // With AllowAllUp the down one may be raised, leaving none down.
    group[0]->setAllowAllUp(true);
    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(group[2]->down());
}

TEST_F(TToolbarButtonTest, ReleasingOutsideGivesNoClick)
{
    TToolbarButton* b = button();
    showActive();
    QSignalSpy clicks(b, &TToolbarButton::clicked);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(b, QPoint(60, 5));
    EXPECT_EQ(b->state(), ButtonState::Up);
    QTest::mouseMove(b, QPoint(6, 5));
    EXPECT_EQ(b->state(), ButtonState::Pressed);
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(b->state(), ButtonState::Up);
}

TEST_F(TToolbarButtonTest, RepeatingButtonClicksWhileHeld)
{
    TToolbarButton* b = button();
    b->setRepeating(true);
    b->setRepeatDelay(50);
    b->setRepeatInterval(20);
    showActive();
    QSignalSpy clicks(b, &TToolbarButton::clicked);
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.count() >= 3; }, 2000));
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(5, 5));
    const int afterRelease = static_cast<int>(clicks.count());
    // Nothing to wait for: at a 20 ms interval several repeats would come within this, had the
    // release not stopped them.
    QTest::qWait(100);
    EXPECT_EQ(clicks.count(), afterRelease);
}

TEST_F(TToolbarButtonTest, DefaultCancelAndAcceleratorKeysClick)
{
    QDialog dialog;
    auto* ok = new TToolbarButton(&dialog);
    ok->setDefault(true);
    ok->setModalResult(QDialog::Accepted);
    auto* cancel = new TToolbarButton(&dialog);
    cancel->setCancel(true);
    auto* accel = new TToolbarButton(&dialog);
    accel->setCaption(QStringLiteral("&Print"));
    QSignalSpy okClicks(ok, &TToolbarButton::clicked);
    QSignalSpy cancelClicks(cancel, &TToolbarButton::clicked);
    QSignalSpy accelClicks(accel, &TToolbarButton::clicked);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(accelClicks.count(), 1);
    accel->setDisplayMode(dmGlyphOnly);
    QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(accelClicks.count(), 1);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(cancelClicks.count(), 1);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);  // the modal result reached the dialog
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TToolbarButtonTest, FlatFrameAppearsUnderTheMouseAndDownShowsTheCheckeredPattern)
{
    TToolbarButton* b = button(5, 1);
    b->setGlyph(QPixmap());  // an empty content area shows the background alone
    showActive();
    const QPalette& pal = b->palette();
    const QColor face = systemColor(15, pal);
    const QColor light = systemColor(20, pal);
    const QColor shadow = systemColor(16, pal);

    EXPECT_EQ(b->grab().toImage().pixel(0, 0), QColor(face).rgb());
    QTest::mouseMove(b, QPoint(10, 10));
    QImage img = b->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), QColor(light).rgb());
    EXPECT_EQ(img.pixel(29, 24), QColor(shadow).rgb());

    b->setDown(true);
    QCursor::setPos(form->mapToGlobal(QPoint(250, 80)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !b->mouseInside(); }, 1000));
    img = b->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), QColor(shadow).rgb());  // sunken
    EXPECT_EQ(img.pixel(2, 2), QColor(light).rgb());
    EXPECT_EQ(img.pixel(3, 2), QColor(face).rgb());
    EXPECT_EQ(img.pixel(3, 3), QColor(light).rgb());

    b->setFlat(false);
    img = b->grab().toImage();
    EXPECT_EQ(img.pixel(0, 0), QColor(systemColor(21, pal)).rgb());  // the dark outer ring of a sunken edge
}
