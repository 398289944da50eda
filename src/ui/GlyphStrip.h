#pragma once
// The image strips of the toolbar buttons, compiled in as ":/icons/<name>.png" and "<name>@2x.png".

#include <QPixmap>
#include <QString>

namespace ui {

// The strip for the screen's pixel ratio: the doubled one, marked as such, on a high-density screen.
QPixmap glyphStrip(const QString& name);

}  // namespace ui
