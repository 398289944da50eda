#include "ui/Announcer.h"

namespace ui {

Announcer::Announcer(QWidget* window) : QWidget(window)
{
    setObjectName(QStringLiteral("Announcer"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 1, 1);
    hide();
}

void Announcer::say(const QString& text)
{
    text_ = text;
    setAccessibleName(text);
    // The reader hears the notification as it appears: hidden first, so that every message appears.
    hide();
    show();
}

}  // namespace ui
