#pragma once
// The digit fields of the dialogs (retention limits, print margins). Their character filters see
// key presses; these helpers make the other ways a character arrives on this platform obey them.

#include <QChar>

#include <functional>

class QInputMethodEvent;
class QLineEdit;

namespace ui {

// Control characters pass the filters: those below 32, as on the original platform, and DEL,
// which X11 sends with the Delete key where Windows sends no character at all.
constexpr bool isControlCharacter(QChar c) { return c.unicode() < 32 || c.unicode() == 0x7F; }

// Input methods off for the field: there is nothing to compose in a number, and a Japanese input
// method that is on commits full-width digits and kana instead of key presses.
void disableInputMethod(QLineEdit* edit);

// accept(character, text length, selection length): the field's filter for one typed character.
using CharacterFilter = std::function<bool(QChar, int, int)>;

// Cuts the text an input method commits to what the filter takes when the characters are typed one
// by one; control characters are dropped, they are not text.
void filterCommittedText(QInputMethodEvent* event, const QLineEdit* edit, const CharacterFilter& accept);

}  // namespace ui
