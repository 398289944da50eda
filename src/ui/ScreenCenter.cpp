#include "ui/ScreenCenter.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ui {

void centerOnScreen(QWidget* window)
{
    window->adjustSize();
    const QWidget* owner = window->parentWidget();
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace ui
