#pragma once
// A message for a screen reader, spoken without taking the keyboard anywhere: a notification that
// shows itself afresh each time (Orca speaks a notification that appears; a changed name or
// description of a control it does not reach, under Qt 6.4, since the event carries no text).
// One pixel, invisible to the eye, in a corner of its window.

#include <QWidget>

namespace ui {

class Announcer : public QWidget {
    Q_OBJECT
public:
    explicit Announcer(QWidget* window);

    void say(const QString& text);
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override {}

private:
    QString text_;
};

}  // namespace ui
