#include "ui/DigitField.h"

#include <QInputMethodEvent>
#include <QLineEdit>

namespace ui {

void disableInputMethod(QLineEdit* edit)
{
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setInputMethodHints(Qt::ImhDigitsOnly);
}

void filterCommittedText(QInputMethodEvent* event, const QLineEdit* edit, const CharacterFilter& accept)
{
    const QString committed = event->commitString();
    if (committed.isEmpty())
        return;
    int length = static_cast<int>(edit->text().size());
    int selection = static_cast<int>(edit->selectedText().size());
    QString kept;
    for (const QChar c : committed) {
        if (isControlCharacter(c) || !accept(c, length, selection))
            continue;
        kept += c;
        length = length - selection + 1;  // the first kept character replaces the selection
        selection = 0;
    }
    if (kept != committed)
        event->setCommitString(kept, event->replacementStart(), event->replacementLength());
}

}  // namespace ui
