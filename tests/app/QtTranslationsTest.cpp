#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

TEST(QtTranslations, QtsOwnTextsAreJapaneseWhateverTheLocale)
{
    QLocale::setDefault(QLocale::c());
    static int argc = 1;
    static char name[] = "QtTranslationsTest";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    ASSERT_TRUE(app::installQtTranslations(application)) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("元に戻す(&U)"));
    EXPECT_EQ(QCoreApplication::translate("QColorDialog", "&Basic colors"), QStringLiteral("基本カラー(&B)"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
}
