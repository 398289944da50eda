#pragma once
// The window a floating tool window sits in: a tool window of the form (so it stays on top of it),
// with a thin raised frame and a small caption bar carrying the caption and a close button.

#include <QWidget>

namespace docking {

class TCustomToolWindow;

class TFloatingWindowParent : public QWidget {
    Q_OBJECT
public:
    TFloatingWindowParent(TCustomToolWindow* toolWindow, QWidget* form);

    TCustomToolWindow* toolWindow() const { return toolWindow_; }
    // Sizes the window to the tool window and places the tool window inside the frame.
    void adjustToToolWindow();
    int captionHeight() const;
    QRect captionRect() const;
    QRect closeButtonRect() const;  // empty without a close button
    // What a click on the close box does: hides the tool window.
    void clickCloseBox();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void remember();

    TCustomToolWindow* toolWindow_;
    bool closePressed_ = false;
};

}  // namespace docking
