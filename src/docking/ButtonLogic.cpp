#include "docking/ButtonLogic.h"

namespace docking {

int glyphIndexFor(ButtonState state, int numGlyphs)
{
    const int s = static_cast<int>(state);
    if (s < numGlyphs)
        return s;
    return state == ButtonState::Disabled ? -1 : 0;
}

ButtonFrame buttonFrame(const FrameInput& in)
{
    ButtonFrame f;
    const bool sunk = in.state == ButtonState::Pressed || in.state == ButtonState::Down;
    f.drawn = !in.noBorder && (!in.flat || sunk || (in.mouseIn && in.state != ButtonState::Disabled));
    if (f.drawn) {
        if (in.flat) {
            f.rings = {sunk ? EdgeRing{clBtnShadow, clBtnHighlight} : EdgeRing{clBtnHighlight, clBtnShadow}};
        } else {
            // Soft edges: the lightest and darkest colours sit on the outer ring.
            f.rings = sunk ? std::vector<EdgeRing>{{cl3DDkShadow, clBtnHighlight}, {clBtnShadow, cl3DLight}}
                           : std::vector<EdgeRing>{{clBtnHighlight, cl3DDkShadow}, {cl3DLight, clBtnShadow}};
            f.fillMiddle = true;
        }
    }
    if (!in.noBorder)
        f.contentInset = in.flat ? 1 : 2;
    f.checkered = in.state == ButtonState::Down && in.highlightWhenDown && (!in.flat || !in.mouseIn);
    f.contentShift = sunk ? 1 : 0;
    return f;
}

ButtonState ButtonLogic::restingState() const
{
    if (!enabled_)
        return ButtonState::Disabled;
    return down_ && groupIndex_ != 0 ? ButtonState::Down : ButtonState::Up;
}

ButtonEffects ButtonLogic::setEnabled(bool e)
{
    ButtonEffects fx;
    if (e == enabled_)
        return fx;
    enabled_ = e;
    if (!e) {
        mouseIn_ = false;
        mouseHeld_ = false;
    }
    state_ = restingState();
    fx.repaint = true;
    return fx;
}

ButtonEffects ButtonLogic::mouseEnter(bool active)
{
    ButtonEffects fx;
    if (!active || !enabled_ || mouseIn_)
        return fx;
    mouseIn_ = true;
    if (state_ == ButtonState::Up)
        state_ = ButtonState::Hot;
    fx.repaint = flat_ || numGlyphs_ > 4;
    fx.mouseEntered = true;
    return fx;
}

ButtonEffects ButtonLogic::mouseLeave()
{
    ButtonEffects fx;
    if (!enabled_ || !mouseIn_ || mouseHeld_)
        return fx;
    mouseIn_ = false;
    if (state_ == ButtonState::Hot || (state_ == ButtonState::Pressed && !inClick_))
        state_ = restingState();
    fx.repaint = true;
    fx.mouseExited = true;
    return fx;
}

ButtonEffects ButtonLogic::press()
{
    ButtonEffects fx;
    if (!enabled_)
        return fx;
    fx = mouseEnter(true);
    if (state_ != ButtonState::Down) {
        state_ = ButtonState::Pressed;
        fx.repaint = true;
    }
    mouseHeld_ = true;
    if (repeating_) {
        fx.click = true;
        fx.startRepeat = true;
    }
    return fx;
}

ButtonEffects ButtonLogic::moveWhileHeld(bool inside)
{
    ButtonEffects fx;
    if (!mouseHeld_)
        return fx;
    const ButtonState next = down_ ? ButtonState::Down : (inside ? ButtonState::Pressed : ButtonState::Up);
    if (next != state_) {
        state_ = next;
        fx.repaint = true;
    }
    return fx;
}

ButtonEffects ButtonLogic::release(bool inside)
{
    ButtonEffects fx;
    if (!mouseHeld_)
        return fx;
    mouseHeld_ = false;
    if (inside && !repeating_) {
        fx.click = true;
        return fx;
    }
    fx = mouseLeave();
    // Released outside: whatever the pointer did, the button is no longer held down.
    if (state_ == ButtonState::Pressed) {
        state_ = restingState();
        fx.repaint = true;
    }
    return fx;
}

ButtonEffects ButtonLogic::beginClick()
{
    inClick_ = true;
    return {};
}

ButtonEffects ButtonLogic::afterDownToggled()
{
    ButtonEffects fx;
    if (state_ == ButtonState::Pressed) {
        state_ = down_ && groupIndex_ != 0 ? ButtonState::Down : ButtonState::Up;
        fx.repaint = true;
    }
    return fx;
}

ButtonEffects ButtonLogic::endClick()
{
    ButtonEffects fx;
    inClick_ = false;
    if (state_ == ButtonState::Pressed)
        state_ = ButtonState::Up;
    fx.repaint = true;
    return fx;
}

bool ButtonLogic::setDown(bool v)
{
    if (groupIndex_ == 0)
        v = false;
    if (v == down_ || (down_ && !allowAllUp_))
        return false;
    down_ = v;
    state_ = !enabled_ ? ButtonState::Disabled : (v ? ButtonState::Down : ButtonState::Up);
    return true;
}

bool ButtonLogic::raiseByGroup(bool allowAllUp)
{
    allowAllUp_ = allowAllUp;
    if (!down_)
        return false;
    down_ = false;
    state_ = ButtonState::Up;
    return true;
}

}  // namespace docking
