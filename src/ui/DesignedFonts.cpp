#include "ui/DesignedFonts.h"

#include <QFont>
#include <QString>

namespace ui {

void mapDesignedFonts()
{
    const QString substitute = QStringLiteral("Noto Sans Mono CJK JP");  // package fonts-noto-cjk
    for (const QString& designed : {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")})
        QFont::insertSubstitution(designed, substitute);
}

}  // namespace ui
