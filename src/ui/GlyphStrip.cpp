#include "ui/GlyphStrip.h"

#include <QGuiApplication>

namespace ui {

QPixmap glyphStrip(const QString& name)
{
    // Both scales are compiled in; the button picks by the screen's pixel ratio.
    const bool twice = qApp->devicePixelRatio() > 1.0;
    QPixmap strip(QStringLiteral(":/icons/%1%2.png").arg(name, twice ? QStringLiteral("@2x") : QString()));
    if (twice)
        strip.setDevicePixelRatio(2.0);
    return strip;
}

}  // namespace ui
