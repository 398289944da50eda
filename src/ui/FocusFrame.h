#pragma once
// A frame over the edge of a widget while it has the keyboard focus. The styles draw none around a
// read-only text view, so a keyboard user who tabs into the comment view could not see it arrive.

#include <QWidget>

namespace ui {

class FocusFrame : public QWidget {
public:
    // Follows `watched` (its child from now on): shown while it has the focus, as large as it is.
    explicit FocusFrame(QWidget* watched);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
