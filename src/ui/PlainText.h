#pragma once
// Text from a comment, or a file name, for a place that reads text that looks like markup as rich
// text (a tooltip, a message box's informative text): written as rich text that shows it exactly,
// blanks and line ends kept, long lines wrapped.

#include <QString>

namespace ui {

inline QString asRichText(const QString& text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace ui
