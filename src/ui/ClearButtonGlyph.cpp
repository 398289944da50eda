#include "ui/ClearButtonGlyph.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace ui {

namespace {

// A disc in the text colour with a cross cut out in the field's colour, 16 pixels and 32 for
// doubled screens.
QIcon clearGlyph(const QPalette& palette)
{
    QIcon icon;
    for (const int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette.color(QPalette::Text));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(palette.color(QPalette::Base), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

class Keeper : public QObject {
public:
    Keeper(QLineEdit* edit, QAction* clear) : QObject(edit), edit_(edit), clear_(clear)
    {
        apply();
        edit->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // After the field's own handling of the change, which may set the style's image again.
        if (watched == edit_ && (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange))
            QMetaObject::invokeMethod(this, [this] { apply(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void apply() { clear_->setIcon(clearGlyph(edit_->palette())); }

    QLineEdit* edit_;
    QAction* clear_;
};

}  // namespace

void keepClearButtonLegible(QLineEdit* edit)
{
    if (auto* clear = edit->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction")))
        new Keeper(edit, clear);
}

}  // namespace ui
