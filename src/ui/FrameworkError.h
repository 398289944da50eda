#pragma once
// The GUI framework's standard error box: an error that no handler catches ends the command and
// is shown with its own text; the program goes on. It is also the one box for a failure of this
// platform met while a command runs (a comment the view cannot open, files a batch could not
// move, a print job refused): the reason in Japanese (platform::errorReason) in the text, the
// system's own words in the details. Messages the design defines go to the host's message box.

#include <QApplication>
#include <QString>

#include <functional>
#include <stdexcept>

class QWidget;

namespace ui {

// A text that is no whole number, met where a number was expected ("'%s' は整数ではありません").
class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const QString& text);
    QString message() const;
};

// The integer value of an edit's text, or ConvertError.
int toInteger(const QString& text);

// `details` (the system's own text, the whole list) behind the box's details button.
void showFrameworkError(QWidget* parent, const QString& message, const QString& details = QString());

// Tests record the errors (their messages) instead of answering a modal box; an empty handler
// restores the box.
void setFrameworkErrorHandler(std::function<void(const QString&)> handler);

// The program's application object: an error thrown out of an event's handler and caught by no
// one ends that event and is shown in the standard error box; the program goes on.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace ui
