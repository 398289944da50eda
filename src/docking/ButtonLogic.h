#pragma once
// The toolbar button's behaviour without the widget: visual state, mouse and click rules, the
// image chosen for a state and the frame drawn for it.

#include <vector>

namespace docking {

enum class ButtonState { Up = 0, Disabled = 1, Pressed = 2, Down = 3, Hot = 4 };

// The image of the strip shown in `state`; -1 when a disabled rendering of image 0 must be made.
int glyphIndexFor(ButtonState state, int numGlyphs);

// System colour indices the frame is drawn in.
enum SystemColorIndex {
    clBtnFace = 15,
    clBtnShadow = 16,
    clBtnHighlight = 20,
    cl3DDkShadow = 21,
    cl3DLight = 22,
};

// One ring of a bevelled edge: top and left in one colour, bottom and right in another.
struct EdgeRing {
    SystemColorIndex topLeft;
    SystemColorIndex bottomRight;
};

struct ButtonFrame {
    bool drawn = false;
    std::vector<EdgeRing> rings;  // outermost first
    bool fillMiddle = false;      // a non-flat frame paints its inside in the button face
    int contentInset = 0;         // the content area shrinks by this on each side
    bool checkered = false;       // down and highlighted: the content area shows the 8x8 pattern
    int contentShift = 0;         // image and caption move right and down by this
};

struct FrameInput {
    ButtonState state = ButtonState::Up;
    bool flat = true;
    bool noBorder = false;
    bool mouseIn = false;
    bool highlightWhenDown = true;
};

ButtonFrame buttonFrame(const FrameInput& in);

// Whether pixel (x, y) of the 8x8 down-state pattern is in the highlight colour (else button face).
inline bool checkerIsHighlight(int x, int y) { return (x & 1) == (y & 1); }

// What the widget must do after an input.
struct ButtonEffects {
    bool repaint = false;
    bool mouseEntered = false;  // fire OnMouseEnter, start the shared leave timer
    bool mouseExited = false;   // fire OnMouseExit
    bool click = false;         // run the click sequence
    bool startRepeat = false;
};

class ButtonLogic {
public:
    ButtonState state() const { return state_; }
    bool mouseIn() const { return mouseIn_; }
    bool mouseHeld() const { return mouseHeld_; }
    bool inClick() const { return inClick_; }
    bool down() const { return down_; }
    int groupIndex() const { return groupIndex_; }
    bool allowAllUp() const { return allowAllUp_; }
    bool enabled() const { return enabled_; }

    void setGroupIndex(int g) { groupIndex_ = g; }
    void setAllowAllUp(bool a) { allowAllUp_ = a; }
    void setRepeating(bool r) { repeating_ = r; }
    void setFlat(bool f) { flat_ = f; }
    void setNumGlyphs(int n) { numGlyphs_ = n; }
    ButtonEffects setEnabled(bool e);

    // `active`: a window of the application is active, or the frame shows even when none is.
    ButtonEffects mouseEnter(bool active);
    ButtonEffects mouseLeave();
    ButtonEffects press();
    ButtonEffects moveWhileHeld(bool inside);
    ButtonEffects release(bool inside);

    // Click, steps 1 and 3; the caller toggles Down in between when the button has a group.
    ButtonEffects beginClick();
    ButtonEffects afterDownToggled();
    ButtonEffects endClick();

    // Returns true when Down changed; the caller then raises the rest of the group.
    bool setDown(bool v);
    // Another button of the group went down.
    bool raiseByGroup(bool allowAllUp);

private:
    ButtonState restingState() const;

    ButtonState state_ = ButtonState::Up;
    bool mouseIn_ = false;
    bool mouseHeld_ = false;
    bool inClick_ = false;
    bool down_ = false;
    bool enabled_ = true;
    bool allowAllUp_ = false;
    bool repeating_ = false;
    bool flat_ = true;
    int groupIndex_ = 0;
    int numGlyphs_ = 1;
};

}  // namespace docking
