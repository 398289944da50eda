#pragma once
// Stand-in for WinHelp: a help file name such as "Comment.hlp" stands for HTML pages compiled into
// the program as Qt resources under ":/help/comment/" (the name without its extension, in lower
// case): "index.html" is the contents, and "map.txt" maps context numbers to pages, one
// "<number> <page>" a line. The pages show in one small help window shared by all calls, which does
// not keep the program running once the main window has closed.

#include <QString>

class QWidget;

namespace platform {

inline constexpr unsigned HELP_CONTEXT = 1;
inline constexpr unsigned HELP_QUIT = 2;
inline constexpr unsigned HELP_CONTENTS = 3;

// The application's help file, set once at start-up ("Comment.hlp").
void setApplicationHelpFile(const QString& name);
QString applicationHelpFile();

// Opens (or raises) the help window at the contents or at the topic of context `data`; HELP_QUIT
// closes it. False when the file or the topic does not exist: the window then shows the contents,
// or a notice that the help file is missing.
bool WinHelp(const QString& helpFile, unsigned command, unsigned long data);
// The same on the application's help file.
bool WinHelp(unsigned command, unsigned long data);

// The help window while it is open, else null; and the page it shows ("colors.html").
QWidget* helpWindow();
QString helpTopic();

}  // namespace platform
