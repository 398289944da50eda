#include "platform/qt/HelpBrowser.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace platform {

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    // A caret the arrow keys move, as in the comment view, so that a reader follows it line by line.
    setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    static const bool installed = (QAccessible::installFactory(&helpAccessible), true);
    (void)installed;
    // The description names the link Tab reached (below); a caret moved on leaves it.
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { setAccessibleDescription(QString()); });
}

bool HelpBrowser::focusNextPrevChild(bool next)
{
    const bool stayed = QTextBrowser::focusNextPrevChild(next);
    // A screen reader says nothing when Tab selects a link, but it speaks a new description of the
    // control that has the focus.
    const QTextCursor c = textCursor();
    if (stayed && hasFocus() && c.hasSelection())
        setAccessibleDescription(QStringLiteral("リンク ") + c.selectedText());
    return stayed;
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    QTextBrowser::doSetSource(name, type);
    const QString anchor = name.fragment();
    if (anchor.isEmpty())
        return;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor)) {
                QTextCursor c(document());
                c.setPosition(it.fragment().position());
                setTextCursor(c);
                scrollToAnchor(anchor);  // the section at the top, as before
                c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
                setAccessibleDescription(c.selectedText());
                return;
            }
        }
    }
}

namespace {

class HelpDocumentAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit HelpDocumentAccessible(HelpBrowser* b) : QAccessibleWidget(b, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return doc()->metaInformation(QTextDocument::DocumentTitle);
        return own;
    }

    // Text, caret and selection.

    void selection(int index, int* start, int* end) const override
    {
        const QTextCursor c = browser()->textCursor();
        *start = index == 0 && c.hasSelection() ? c.selectionStart() : 0;
        *end = index == 0 && c.hasSelection() ? c.selectionEnd() : 0;
    }
    int selectionCount() const override { return browser()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override
    {
        QTextCursor c = browser()->textCursor();
        c.clearSelection();
        browser()->setTextCursor(c);
    }
    void setSelection(int, int start, int end) override { browser()->setTextCursor(span(start, end)); }
    int cursorPosition() const override { return browser()->textCursor().position(); }
    void setCursorPosition(int position) override { browser()->setTextCursor(span(position, position)); }

    QString text(int start, int end) const override
    {
        QString s = span(start, end).selectedText();
        s.replace(QChar::ParagraphSeparator, u'\n');
        s.replace(QChar::LineSeparator, u'\n');
        return s;
    }
    int characterCount() const override { return doc()->characterCount() - 1; }

    QRect characterRect(int offset) const override
    {
        const QTextCursor c = span(offset, offset);
        QRect r = browser()->cursorRect(c);
        const QString ch = text(offset, offset + 1);
        r.setWidth(ch.isEmpty() || ch == QStringLiteral("\n") ? 1
                                                              : QFontMetrics(c.charFormat().font()).horizontalAdvance(ch));
        return QRect(browser()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint p = browser()->viewport()->mapFromGlobal(point);
        if (!browser()->viewport()->rect().contains(p))
            return -1;
        return browser()->cursorForPosition(p).position();
    }

    void scrollToSubstring(int start, int end) override
    {
        browser()->setTextCursor(span(start, end));
        browser()->ensureCursorVisible();
    }

    // A run of one character format, so that a reader that builds a line from the runs finds text
    // in each of them.
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        const QTextBlock block = doc()->findBlock(offset);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (offset >= f.position() && offset < f.position() + f.length()) {
                *start = f.position();
                *end = f.position() + f.length();
                const QFont font = f.charFormat().font();
                return QStringLiteral("font-family:%1;font-size:%2pt;font-weight:%3;")
                    .arg(font.family())
                    .arg(font.pointSize())
                    .arg(font.bold() ? 700 : 400);
            }
        }
        if (offset < characterCount())
            *end = offset + 1;  // the end of a paragraph
        return {};
    }

    // Lines as laid out on the screen, so that what is read matches where the caret goes.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        if (type != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textAtOffset(offset, type, start, end);
        lineAt(offset, start, end);
        return text(*start, *end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        if (type != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textBeforeOffset(offset, type, start, end);
        int s = 0, e = 0;
        lineAt(offset, &s, &e);
        if (s == 0) {
            *start = *end = 0;
            return {};
        }
        lineAt(s - 1, start, end);
        return text(*start, *end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        if (type != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textAfterOffset(offset, type, start, end);
        int s = 0, e = 0;
        lineAt(offset, &s, &e);
        if (e >= characterCount()) {
            *start = *end = characterCount();
            return {};
        }
        lineAt(e, start, end);
        return text(*start, *end);
    }

private:
    HelpBrowser* browser() const { return static_cast<HelpBrowser*>(widget()); }
    QTextDocument* doc() const { return browser()->document(); }

    QTextCursor span(int start, int end) const
    {
        const int last = characterCount();
        QTextCursor c(doc());
        c.setPosition(std::clamp(start, 0, last));
        c.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
        return c;
    }

    // The screen line that holds `offset`, with the paragraph's end when it is the paragraph's last.
    void lineAt(int offset, int* start, int* end) const
    {
        const int last = characterCount();
        offset = std::clamp(offset, 0, last);
        const QTextBlock block = doc()->findBlock(offset);
        *start = block.position();
        *end = block.position() + block.length();
        const QTextLayout* layout = block.layout();
        if (layout && layout->lineCount() > 0) {
            const QTextLine line = layout->lineForTextPosition(offset - block.position());
            if (line.isValid()) {
                *start = block.position() + line.textStart();
                if (line.lineNumber() + 1 < layout->lineCount())
                    *end = *start + line.textLength();
            }
        }
        *end = std::min(*end, last);
    }
};

}  // namespace

QAccessibleInterface* helpAccessible(const QString&, QObject* object)
{
    if (auto* b = qobject_cast<HelpBrowser*>(object))
        return new HelpDocumentAccessible(b);
    return nullptr;
}

}  // namespace platform
