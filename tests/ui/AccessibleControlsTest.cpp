#include "ui/AccessibleControls.h"
#include "ui/UpDown.h"
#include "support/TestApplication.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using testsupport::app;

TEST(AccessibleControlsTest, TheFieldWithItsUpDownIsANamedSpinButtonThatSteps)
{
    app();
    ui::installAccessibleInterfaces();
    QWidget panel;
    auto* edit = new QLineEdit(&panel);
    auto* upDown = new TUpDown(&panel);
    upDown->setToolTip(QStringLiteral("ﾌｫﾝﾄｻｲｽﾞ変更"));
    upDown->setRange(9, 30);
    upDown->setIncrement(3);
    upDown->setBuddy(edit);
    upDown->setPosition(12);
    QSignalSpy clicked(upDown, &TUpDown::clicked);

    QAccessibleInterface* spin = QAccessible::queryAccessibleInterface(edit);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->role(), QAccessible::SpinBox);
    EXPECT_EQ(spin->text(QAccessible::Name), QStringLiteral("ﾌｫﾝﾄｻｲｽﾞ変更"));
    ASSERT_NE(spin->valueInterface(), nullptr);
    EXPECT_EQ(spin->valueInterface()->currentValue().toInt(), 12);
    EXPECT_EQ(spin->valueInterface()->minimumValue().toInt(), 9);
    EXPECT_EQ(spin->valueInterface()->maximumValue().toInt(), 30);
    // One run of attributes over the whole number: a reader builds the line from the runs.
    int start = -1, end = -1;
    spin->textInterface()->attributes(1, &start, &end);
    EXPECT_EQ(spin->textInterface()->text(start, end), QStringLiteral("12"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(upDown)->state().invisible);  // no second control

    spin->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(edit->text(), QStringLiteral("15"));
    EXPECT_EQ(clicked.count(), 1);  // the window hears of it as of an arrow click

    spin->valueInterface()->setCurrentValue(9);  // two steps of 3 down, each reported
    EXPECT_EQ(spin->valueInterface()->currentValue().toInt(), 9);
    EXPECT_EQ(clicked.count(), 3);
}

TEST(AccessibleControlsTest, AFieldWithoutTooltipIsNamedByItsLabel)
{
    app();
    ui::installAccessibleInterfaces();
    QWidget form;
    auto* label = new QLabel(QStringLiteral("上マージン"), &form);
    auto* edit = new QLineEdit(&form);
    auto* upDown = new TUpDown(&form);
    label->setBuddy(edit);
    upDown->setBuddy(edit);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Name), QStringLiteral("上マージン"));
}

}  // namespace
