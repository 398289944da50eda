#include "HostSuiteTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

using hostsuite_test::run;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

hostsuite_test::Run makeSuite(const QString& demo, const QString& suite)
{
    return run(QStringLiteral(MAKE_DEMO_SUITE), {demo, suite});
}

// The first two lines that are not blank, the way the viewer picks title and date.
QStringList firstTwoNonBlank(const QString& text)
{
    QStringList picked;
    for (QString line : text.split(QStringLiteral("\r\n"))) {
        line.replace(QStringLiteral("　"), QStringLiteral("  "));
        if (!line.trimmed().isEmpty() && picked.size() < 2)
            picked << line.trimmed();
    }
    return picked;
}

}  // namespace

TEST(MakeDemoSuite, WritesCodePage932WithCrlfAndTheListedTimes)
{
    QTemporaryDir demo, suite;
    writeFile(demo.filePath(QStringLiteral("RecvData/COMMENT.001")), "連絡\n二行目\n");
    writeFile(demo.filePath(QStringLiteral("Result/COMMENT/CKES012.TXT")), "決算\r\n");
    writeFile(demo.filePath(QStringLiteral("Data/USER_ID.DAT")), "BRV0001\n");
    writeFile(demo.filePath(QStringLiteral("notes.txt")), "not part of the suite\n");
    writeFile(
        demo.filePath(QStringLiteral("times.tsv")),
        "# comment line\nRecvData/COMMENT.001\t2026-11-30 16:20\nResult/COMMENT/CKES012.TXT\t2026-12-01 06:10:30\n");

    const auto r = makeSuite(demo.path(), suite.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    EXPECT_EQ(readAll(suite.filePath(QStringLiteral("RecvData/COMMENT.001"))),
              QByteArray("\x98\x41\x97\x8d\r\n\x93\xf1\x8d\x73\x96\xda\r\n"));
    EXPECT_EQ(readAll(suite.filePath(QStringLiteral("Result/COMMENT/CKES012.TXT"))),
              QByteArray("\x8c\x88\x8e\x5a\r\n"));
    EXPECT_EQ(readAll(suite.filePath(QStringLiteral("Data/USER_ID.DAT"))), QByteArray("BRV0001\r\n"));
    EXPECT_FALSE(QFileInfo::exists(suite.filePath(QStringLiteral("notes.txt"))));

    EXPECT_EQ(QFileInfo(suite.filePath(QStringLiteral("RecvData/COMMENT.001"))).lastModified(),
              QDateTime(QDate(2026, 11, 30), QTime(16, 20)));
    EXPECT_EQ(QFileInfo(suite.filePath(QStringLiteral("Result/COMMENT/CKES012.TXT"))).lastModified(),
              QDateTime(QDate(2026, 12, 1), QTime(6, 10, 30)));
}

TEST(MakeDemoSuite, CreatesTheSuiteFoldersEvenWhenTheDemoHasNoFilesThere)
{
    QTemporaryDir demo, suite;
    const auto r = makeSuite(demo.path(), suite.filePath(QStringLiteral("new/suite")));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const char* sub : {"new/suite/RecvData", "new/suite/Result/COMMENT", "new/suite/Data"})
        EXPECT_TRUE(QFileInfo(suite.filePath(QString::fromLatin1(sub))).isDir()) << sub;
}

TEST(MakeDemoSuite, RefusesTextThatCodePage932CannotCarryAndTimesForMissingFiles)
{
    QTemporaryDir demo, suite;
    writeFile(demo.filePath(QStringLiteral("RecvData/CMARKET.001")), "速報\n相場 😀\n");
    writeFile(demo.filePath(QStringLiteral("RecvData/CMARKET.002")), "\xff\xfe broken\n");
    writeFile(demo.filePath(QStringLiteral("times.tsv")), "RecvData/CMARKT.001\t2026-12-01 06:10\nbad line\n");

    const auto r = makeSuite(demo.path(), suite.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("RecvData/CMARKET.001:2"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("RecvData/CMARKET.002: not UTF-8"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("RecvData/CMARKT.001"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("times.tsv:2"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(suite.filePath(QStringLiteral("RecvData/CMARKET.001"))));
}

// The bundled demo must show every category in both folders, with the lines the viewer lists.
TEST(MakeDemoSuite, BundledDemoGivesAUsableSuite)
{
    QTemporaryDir suite;
    const auto r = makeSuite(QStringLiteral(DEMO_DIR), suite.path());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    const QRegularExpression pattern(QStringLiteral("^(COMMENT|CMARKET|CWEKEND|CKES\\d{3})\\.[^.]+$"));
    QSet<qint64> times;
    for (const char* folder : {"RecvData", "Result/COMMENT"}) {
        QMap<QString, int> perCategory;
        const QDir dir(suite.filePath(QString::fromLatin1(folder)));
        for (const QFileInfo& file : dir.entryInfoList(QDir::Files)) {
            const QRegularExpressionMatch m = pattern.match(file.fileName());
            ASSERT_TRUE(m.hasMatch()) << file.fileName().toStdString();
            const QString category = m.captured(1).left(4);
            ++perCategory[category];
            times.insert(file.lastModified().toSecsSinceEpoch());

            const QString text = hostsuite::fromCp932(readAll(file.filePath()));
            const QStringList lines = firstTwoNonBlank(text);
            ASSERT_EQ(lines.size(), 2) << file.fileName().toStdString();
            if (category == QLatin1String("COMM") || category == QLatin1String("CWEK")) {
                const auto isDate = [](const QString& l) {
                    return l.contains(QStringLiteral("年")) && l.contains(QStringLiteral("月")) &&
                           l.contains(QStringLiteral("日"));
                };
                EXPECT_NE(isDate(lines[0]), isDate(lines[1]))
                    << "one title, one date: " << file.fileName().toStdString();
            }
        }
        EXPECT_EQ(perCategory.size(), 4) << folder;
        if (QLatin1String(folder) == QLatin1String("Result/COMMENT")) {
            EXPECT_GE(dir.entryList(QDir::Files).size(), 18);
        }
    }
    EXPECT_GE(times.size(), 20) << "last-write times are varied";
    EXPECT_FALSE(readAll(suite.filePath(QStringLiteral("Data/USER_ID.DAT"))).trimmed().isEmpty());
}
