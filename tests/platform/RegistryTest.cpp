// The INI settings store written through the settings library.

#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Stores of the same size written one after the other, as fast as they come: each flush reads its
// own file back, never what the settings library parsed of another store (or an earlier state of
// this one) a moment before. In memory, where a flush takes well under a millisecond, if there is one.
TEST(Registry, QuickFlushesOfStoresOfTheSameSizeAllSucceed)
{
    const QString shm = QStringLiteral("/dev/shm");
    const QTemporaryDir dir(QFileInfo(shm).isWritable() ? shm + QStringLiteral("/registry-XXXXXX")
                                                        : QDir::tempPath() + QStringLiteral("/registry-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString key = QStringLiteral("Software\\Brevon\\Comment");
    for (int i = 0; i < 200; ++i) {
        const QString file = dir.filePath(i % 2 ? QStringLiteral("b.ini") : QStringLiteral("a.ini"));
        const QString value = QString::number(1000 + i);  // the same length each time
        {
            platform::Registry reg(file);
            reg.read(key, QStringLiteral("Value"));  // a view: the flush goes through the library
            reg.write(key, QStringLiteral("Value"), value);
            ASSERT_TRUE(reg.flush()) << "flush " << i;
        }
        const platform::Registry again(file);
        ASSERT_EQ(again.read(key, QStringLiteral("Value")), value) << "flush " << i;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("a.ini"), QStringLiteral("b.ini")}));
}

// Damaged stores whose values the library reads in one way and writes in another: a name listed
// twice ("\.a" read as "/.a" beside ".a"), an octal escape past 0xFFFF read as a lone surrogate.
// Neither is a torn file; the write goes through.
TEST(Registry, ADamagedStoreStillTakesWrites)
{
    for (const char* damage : {"\\.Twin=1\n.Twin=2\n", "d=\\555555\n"}) {
        const QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("store.ini"));
        QFile damaged(file);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(damage);
        damaged.close();
        const QString key = QStringLiteral("Software\\Brevon\\Comment");
        {
            platform::Registry reg(file);
            reg.read(key, QStringLiteral("Value"));  // a view: the flush goes through the library
            reg.write(key, QStringLiteral("Value"), QStringLiteral("1"));
            ASSERT_TRUE(reg.flush()) << damage;
        }
        EXPECT_EQ(platform::Registry(file).read(key, QStringLiteral("Value")), QStringLiteral("1")) << damage;
    }
}
