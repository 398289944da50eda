#include "support/FormWithDocks.h"
#include "support/TestApplication.h"

#include "docking/DockingAccessible.h"
#include "docking/TDock.h"
#include "docking/TFloatingWindowParent.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace docking;

namespace {

class DockingAccessibleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::app();
        static const bool installed = (QAccessible::installFactory(&accessibleInterface), true);
        (void)installed;
        form = std::make_unique<QWidget>();
        form->setGeometry(100, 100, 400, 200);
        bar = testsupport::toolbar(form.get(), QStringLiteral("Toolbar1"), 3);
        bar->setCaption(QStringLiteral("表示"));
        buttons = bar->findChildren<TToolbarButton*>();
        form->show();
    }

    static QAccessibleInterface* of(QObject* o) { return QAccessible::queryAccessibleInterface(o); }

    // The press action as a screen reader sends it; the click runs from the event loop.
    static void press(QAccessibleInterface* iface)
    {
        ASSERT_NE(iface->actionInterface(), nullptr);
        ASSERT_TRUE(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QWidget> form;
    TToolbar* bar = nullptr;
    QList<TToolbarButton*> buttons;
};

TEST_F(DockingAccessibleTest, AButtonIsNamedByItsHintElseByItsCaption)
{
    buttons[0]->setHint(QStringLiteral("ｺﾒﾝﾄの保存"));
    buttons[0]->setCaption(QStringLiteral("保存"));
    buttons[1]->setCaption(QStringLiteral("ゴミ&箱"));
    EXPECT_EQ(of(buttons[0])->role(), QAccessible::Button);
    EXPECT_EQ(of(buttons[0])->text(QAccessible::Name), QStringLiteral("ｺﾒﾝﾄの保存"));
    EXPECT_EQ(of(buttons[1])->text(QAccessible::Name), QStringLiteral("ゴミ箱"));
}

TEST_F(DockingAccessibleTest, PressRunsTheClickHandler)
{
    QSignalSpy clicked(buttons[0], &TToolbarButton::clicked);
    press(of(buttons[0]));
    EXPECT_EQ(clicked.count(), 1);
    buttons[0]->setEnabled(false);
    EXPECT_TRUE(of(buttons[0])->state().disabled);
    press(of(buttons[0]));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(DockingAccessibleTest, GroupedButtonsAreRadioButtonsCheckedWhileDown)
{
    for (TToolbarButton* b : buttons)
        b->setGroupIndex(1);
    buttons[0]->setDown(true);
    EXPECT_EQ(of(buttons[1])->role(), QAccessible::RadioButton);
    EXPECT_TRUE(of(buttons[0])->state().checked);
    EXPECT_FALSE(of(buttons[1])->state().checked);

    press(of(buttons[1]));  // the group logic of a click: the other button comes up
    EXPECT_TRUE(buttons[1]->down());
    EXPECT_FALSE(buttons[0]->down());
    EXPECT_TRUE(of(buttons[1])->state().checked);

    buttons[1]->setAllowAllUp(true);
    EXPECT_EQ(of(buttons[1])->role(), QAccessible::CheckBox);
}

TEST_F(DockingAccessibleTest, TheToolbarIsNamedByItsCaptionAndHoldsItsButtons)
{
    QAccessibleInterface* toolbar = of(bar);
    EXPECT_EQ(toolbar->role(), QAccessible::ToolBar);
    EXPECT_EQ(toolbar->text(QAccessible::Name), QStringLiteral("表示"));
    EXPECT_GE(toolbar->indexOfChild(of(buttons[2])), 0);
}

TEST_F(DockingAccessibleTest, TheFloatingWindowsCloseBoxIsAButtonThatHidesTheToolbar)
{
    bar->floatAt(QPoint(300, 300));
    auto* floating = qobject_cast<TFloatingWindowParent*>(bar->parentWidget());
    ASSERT_NE(floating, nullptr);
    QAccessibleInterface* window = of(floating);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("表示"));
    // Without a caption the window stays untitled and is named as its toolbar.
    bar->setCaption(QString());
    bar->setAccessibleName(QStringLiteral("カテゴリ"));
    EXPECT_TRUE(floating->windowTitle().isEmpty());
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("カテゴリ"));

    QAccessibleInterface* close = window->child(window->childCount() - 1);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->role(), QAccessible::Button);
    EXPECT_EQ(close->text(QAccessible::Name), QStringLiteral("閉じる"));
    EXPECT_EQ(close->parent(), window);
    EXPECT_EQ(window->indexOfChild(close), window->childCount() - 1);
    EXPECT_EQ(close->rect().center(), floating->mapToGlobal(floating->closeButtonRect().center()));
    press(close);
    EXPECT_FALSE(bar->isToolWindowVisible());
    EXPECT_FALSE(floating->isVisible());
}

}  // namespace
