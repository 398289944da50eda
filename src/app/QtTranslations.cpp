#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace app {

bool installQtTranslations(QCoreApplication& application)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        qWarning("Qt's Japanese translations (qtbase_ja.qm) are missing: Qt's own dialogs stay English");
        return false;
    }
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    translator.release()->setParent(&application);  // lives as long as the application
    return true;
}

}  // namespace app
