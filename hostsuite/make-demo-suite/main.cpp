// make-demo-suite DEMO_DIR SUITE_DIR
//
// Builds a suite folder from the demo sources: every file under DEMO_DIR's RecvData/, Result/
// and Data/ is written to the same place under SUITE_DIR as code page 932 text with CRLF line
// ends, as the suite's receiver writes them. DEMO_DIR/times.tsv gives files their last-write
// times ("relative/path<TAB>yyyy-MM-dd hh:mm[:ss]", local time; "#" starts a comment), since the
// viewer orders and purges comments by that time alone; a file without a line keeps the time of
// its creation. RecvData/, Result/COMMENT/ and Data/ are always created.
//
// Exit code 0, or 1 after naming every problem found: a character without a code page 932 form,
// a source that is not UTF-8, a times.tsv line that is malformed or names no demo file.

#include "Cp932.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

namespace {

const QStringList kSuiteFolders{QStringLiteral("RecvData"), QStringLiteral("Result"), QStringLiteral("Data")};
const QString kManifest = QStringLiteral("times.tsv");

int gProblems = 0;

void problem(const QString& text)
{
    std::fprintf(stderr, "make-demo-suite: %s\n", text.toUtf8().constData());
    ++gProblems;
}

QHash<QString, QDateTime> readTimes(const QString& demoDir)
{
    QHash<QString, QDateTime> times;
    QFile file(demoDir + QLatin1Char('/') + kManifest);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return times;
    int lineNo = 0;
    while (!file.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        QDateTime when;
        if (parts.size() == 2) {
            when = QDateTime::fromString(parts[1].trimmed(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            if (!when.isValid())
                when = QDateTime::fromString(parts[1].trimmed(), QStringLiteral("yyyy-MM-dd hh:mm"));
        }
        if (!when.isValid()) {
            problem(QStringLiteral("%1:%2: expected PATH<TAB>yyyy-MM-dd hh:mm").arg(kManifest).arg(lineNo));
            continue;
        }
        times.insert(QDir::cleanPath(parts[0].trimmed()), when);
    }
    return times;
}

// UTF-8 source -> code page 932 with CRLF; nullopt (after a message) when it cannot be carried.
std::optional<QByteArray> convert(const QString& rel, const QByteArray& utf8)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(utf8);
    if (decoder.hasError()) {
        problem(QStringLiteral("%1: not UTF-8").arg(rel));
        return std::nullopt;
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QByteArray out;
    bool ok = true;
    for (int i = 0; i < lines.size(); ++i) {
        const std::optional<QByteArray> bytes = hostsuite::toCp932(lines[i]);
        if (!bytes) {
            problem(QStringLiteral("%1:%2: character without a code page 932 form").arg(rel).arg(i + 1));
            ok = false;
            continue;
        }
        out += *bytes;
        if (i + 1 < lines.size())
            out += "\r\n";
    }
    if (!ok)
        return std::nullopt;
    return out;
}

bool setLastWrite(const QString& path, const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    timespec t[2];
    t[0].tv_sec = t[1].tv_sec = static_cast<time_t>(ms / 1000);
    t[0].tv_nsec = t[1].tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make-demo-suite DEMO_DIR SUITE_DIR\n");
        return 2;
    }
    const QString demoDir = QDir(args[1]).absolutePath();
    const QString suiteDir = QDir(args[2]).absolutePath();
    if (!QFileInfo(demoDir).isDir()) {
        problem(QStringLiteral("%1: no such folder").arg(demoDir));
        return 1;
    }

    QHash<QString, QDateTime> times = readTimes(demoDir);
    for (const QString& sub : {QStringLiteral("RecvData"), QStringLiteral("Result/COMMENT"), QStringLiteral("Data")})
        if (!QDir().mkpath(suiteDir + QLatin1Char('/') + sub))
            problem(QStringLiteral("%1/%2: cannot create").arg(suiteDir, sub));

    const QDir demo(demoDir);
    int written = 0;
    for (const QString& folder : kSuiteFolders) {
        QDirIterator it(demoDir + QLatin1Char('/') + folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString rel = demo.relativeFilePath(source);
            const std::optional<QDateTime> when =
                times.contains(rel) ? std::optional<QDateTime>(times.take(rel)) : std::nullopt;
            QFile in(source);
            if (!in.open(QIODevice::ReadOnly)) {
                problem(QStringLiteral("%1: cannot read").arg(rel));
                continue;
            }
            const std::optional<QByteArray> bytes = convert(rel, in.readAll());
            if (!bytes)
                continue;
            const QString target = suiteDir + QLatin1Char('/') + rel;
            QDir().mkpath(QFileInfo(target).absolutePath());
            QSaveFile outFile(target);
            if (!outFile.open(QIODevice::WriteOnly) || outFile.write(*bytes) != bytes->size() || !outFile.commit()) {
                problem(QStringLiteral("%1: cannot write").arg(target));
                continue;
            }
            if (when && !setLastWrite(target, *when))
                problem(QStringLiteral("%1: cannot set its time").arg(target));
            ++written;
        }
    }
    for (auto t = times.cbegin(); t != times.cend(); ++t)
        problem(QStringLiteral("%1: names %2, which is no demo file").arg(kManifest, t.key()));

    std::printf("make-demo-suite: %d files written to %s\n", written, suiteDir.toUtf8().constData());
    return gProblems == 0 ? 0 : 1;
}
