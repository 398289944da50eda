#include "docking/ButtonLogic.h"

#include <gtest/gtest.h>

using namespace docking;

TEST(GlyphIndex, FiveImagesGiveEveryStateItsOwnFewerFallBackToTheFirst)
{
    for (int s = 0; s < 5; ++s)
        EXPECT_EQ(glyphIndexFor(static_cast<ButtonState>(s), 5), s);
    EXPECT_EQ(glyphIndexFor(ButtonState::Pressed, 2), 0);
    EXPECT_EQ(glyphIndexFor(ButtonState::Down, 2), 0);
    EXPECT_EQ(glyphIndexFor(ButtonState::Hot, 2), 0);
    EXPECT_EQ(glyphIndexFor(ButtonState::Disabled, 2), 1);
    EXPECT_EQ(glyphIndexFor(ButtonState::Disabled, 1), -1);  // made from image 0
}

TEST(ButtonFrame, FlatButtonsShowAFrameOnlyUnderTheMouseOrWhenSunk)
{
    ButtonFrame f = buttonFrame({ButtonState::Up, true, false, false, true});
    EXPECT_FALSE(f.drawn);
    EXPECT_EQ(f.contentInset, 1);

    f = buttonFrame({ButtonState::Hot, true, false, true, true});
    ASSERT_TRUE(f.drawn);
    ASSERT_EQ(f.rings.size(), 1u);
    EXPECT_EQ(f.rings[0].topLeft, clBtnHighlight);
    EXPECT_EQ(f.contentShift, 0);

    f = buttonFrame({ButtonState::Pressed, true, false, true, true});
    EXPECT_EQ(f.rings[0].topLeft, clBtnShadow);
    EXPECT_EQ(f.contentShift, 1);
    EXPECT_FALSE(f.checkered);

    // Disabled under the mouse: no frame.
    EXPECT_FALSE(buttonFrame({ButtonState::Disabled, true, false, true, true}).drawn);
}

TEST(ButtonFrame, NonFlatButtonsAlwaysDrawTwoRingsAndNoBorderDrawsNothing)
{
    ButtonFrame f = buttonFrame({ButtonState::Up, false, false, false, true});
    ASSERT_TRUE(f.drawn);
    EXPECT_EQ(f.rings.size(), 2u);
    EXPECT_TRUE(f.fillMiddle);
    EXPECT_EQ(f.contentInset, 2);

    f = buttonFrame({ButtonState::Down, false, true, true, true});
    EXPECT_FALSE(f.drawn);
    EXPECT_EQ(f.contentInset, 0);
    EXPECT_EQ(f.contentShift, 1);
}

TEST(ButtonFrame, DownButtonIsCheckeredUnlessAFlatOneHasTheMouse)
{
    EXPECT_TRUE(buttonFrame({ButtonState::Down, true, false, false, true}).checkered);
    EXPECT_FALSE(buttonFrame({ButtonState::Down, true, false, true, true}).checkered);
    EXPECT_TRUE(buttonFrame({ButtonState::Down, false, false, true, true}).checkered);
    EXPECT_FALSE(buttonFrame({ButtonState::Down, false, false, false, false}).checkered);
    EXPECT_TRUE(checkerIsHighlight(0, 0));
    EXPECT_FALSE(checkerIsHighlight(1, 0));
    EXPECT_TRUE(checkerIsHighlight(7, 7));
}

TEST(ButtonLogic, PressMoveAndReleaseFollowThePointer)
{
    ButtonLogic b;
    b.press();
    EXPECT_EQ(b.state(), ButtonState::Pressed);
    EXPECT_TRUE(b.mouseIn());
    b.moveWhileHeld(false);
    EXPECT_EQ(b.state(), ButtonState::Up);
    EXPECT_TRUE(b.moveWhileHeld(true).repaint);
    EXPECT_EQ(b.state(), ButtonState::Pressed);
    EXPECT_TRUE(b.release(true).click);
}

TEST(ButtonLogic, ReleasingOutsideGivesNoClickAndReturnsToUp)
{
    ButtonLogic b;
    b.press();
    const ButtonEffects fx = b.release(false);
    EXPECT_FALSE(fx.click);
    EXPECT_TRUE(fx.mouseExited);
    EXPECT_EQ(b.state(), ButtonState::Up);
    EXPECT_FALSE(b.mouseIn());
}

TEST(ButtonLogic, MouseLeavingIsIgnoredWhileHeldAndEnteringNeedsAnActiveWindow)
{
    ButtonLogic b;
    EXPECT_FALSE(b.mouseEnter(false).mouseEntered);
    EXPECT_EQ(b.state(), ButtonState::Up);
    EXPECT_TRUE(b.mouseEnter(true).mouseEntered);
    EXPECT_EQ(b.state(), ButtonState::Hot);
    b.press();
    EXPECT_FALSE(b.mouseLeave().mouseExited);
    EXPECT_EQ(b.state(), ButtonState::Pressed);
}

TEST(ButtonLogic, ClickInAGroupLeavesTheButtonDown)
{
    ButtonLogic b;
    b.setGroupIndex(1);
    b.press();
    b.release(true);
    b.beginClick();
    EXPECT_TRUE(b.setDown(!b.down()));
    b.afterDownToggled();
    EXPECT_EQ(b.state(), ButtonState::Down);
    b.endClick();
    EXPECT_EQ(b.state(), ButtonState::Down);
    EXPECT_FALSE(b.inClick());

    // Down without AllowAllUp cannot be raised by setting it; another button of the group raises it.
    EXPECT_FALSE(b.setDown(false));
    EXPECT_TRUE(b.raiseByGroup(true));
    EXPECT_EQ(b.state(), ButtonState::Up);
    EXPECT_TRUE(b.setDown(true));
    EXPECT_TRUE(b.setDown(false));  // the group's AllowAllUp came with the pass
}

TEST(ButtonLogic, DownWithoutAGroupHasNoEffectAndRepeatingClicksOnPress)
{
    ButtonLogic b;
    EXPECT_FALSE(b.setDown(true));
    EXPECT_FALSE(b.down());

    b.setRepeating(true);
    const ButtonEffects fx = b.press();
    EXPECT_TRUE(fx.click);
    EXPECT_TRUE(fx.startRepeat);
    EXPECT_FALSE(b.release(true).click);
}

TEST(ButtonLogic, DisablingShowsTheDisabledStateAndIgnoresTheMouse)
{
    ButtonLogic b;
    b.setEnabled(false);
    EXPECT_EQ(b.state(), ButtonState::Disabled);
    b.press();
    EXPECT_FALSE(b.mouseHeld());
    b.setEnabled(true);
    EXPECT_EQ(b.state(), ButtonState::Up);
}
