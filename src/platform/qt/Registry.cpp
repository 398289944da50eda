#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// QSettings separates groups with "/"; registry keys use "\".
QString groupOf(const QString& key)
{
    QString g = key;
    g.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (g.endsWith(QLatin1Char('/')))
        g.chop(1);
    while (g.startsWith(QLatin1Char('/')))
        g.remove(0, 1);
    return g;
}

QString pathOf(const QString& key, const QString& name)
{
    const QString g = groupOf(key);
    return g.isEmpty() ? name : g + QLatin1Char('/') + name;
}

}  // namespace

QString Registry::defaultFile()
{
    QString explicitFile = qEnvironmentVariable("BREVON_REGISTRY");
    if (!explicitFile.isEmpty())
        return explicitFile;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Brevon/registry.ini");
}

Registry::Registry() : Registry(defaultFile()) {}

Registry::Registry(const QString& file) : file_(file) { QDir().mkpath(QFileInfo(file).absolutePath()); }

Registry::~Registry() { flush(); }

QSettings& Registry::view() const
{
    if (!store_) {
        store_ = std::make_unique<QSettings>(file_, QSettings::IniFormat);
        for (const Change& c : changes_) {
            if (c.kind == Change::Write)
                store_->setValue(c.path, c.data);
            else
                store_->remove(c.path);
        }
    }
    return *store_;
}

std::optional<QString> Registry::read(const QString& key, const QString& name) const
{
    const QVariant v = view().value(pathOf(key, name));
    if (!v.isValid())
        return std::nullopt;
    // A value written as a list by a hand-edited file ("a, b") comes back as QStringList.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void Registry::write(const QString& key, const QString& name, const QString& data)
{
    changes_.push_back({Change::Write, pathOf(key, name), data});
    if (store_)
        store_->setValue(changes_.back().path, data);
    dirty_ = true;
}

void Registry::removeValue(const QString& key, const QString& name)
{
    changes_.push_back({Change::RemoveValue, pathOf(key, name), {}});
    if (store_)
        store_->remove(changes_.back().path);
    dirty_ = true;
}

void Registry::removeKey(const QString& key)
{
    changes_.push_back({Change::RemoveKey, groupOf(key), {}});
    if (store_)
        store_->remove(changes_.back().path);
    dirty_ = true;
}

QStringList Registry::valueNames(const QString& key) const
{
    QSettings& store = view();
    store.beginGroup(groupOf(key));
    QStringList names = store.childKeys();
    store.endGroup();
    return names;
}

QStringList Registry::subKeys(const QString& key) const
{
    QSettings& store = view();
    store.beginGroup(groupOf(key));
    QStringList names = store.childGroups();
    store.endGroup();
    return names;
}

namespace {
std::atomic<int> gFailedFlushes{0};

// Control characters are escaped on the way out and not all read back alike; a lone surrogate (an
// octal escape past 0xFFFF, "\555555", reads as one) has no UTF-8 form and is written as another
// character.
bool plainText(const QString& text)
{
    return QStringView(text).isValidUtf16() &&
           std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

// A name and value the INI file can hold and give back: a damaged store (written by hand, torn by a
// crash of another program) may hold some that read in one way and write out in another. Those
// cannot tell a torn file, and must not make every later close of the store fail.
bool roundTrips(const QString& key, const QVariant& value)
{
    if (key.isEmpty() || key.startsWith(u'/') || key.endsWith(u'/') || key.contains(QStringLiteral("//")) ||
        !plainText(key))
        return false;
    // What this store writes is text; a list (commas in a line written by someone else) is read
    // back with its blanks and empty items changed.
    return value.typeId() == QMetaType::QString && plainText(value.toString());
}

// The names a damaged store lists twice, once as written and once with extra separators ("\a" in
// a line, read as "/a", beside "a"): the library reads one of the twins and writes the other.
QSet<QString> twinned(const QStringList& keys)
{
    QSet<QString> twins;
    for (const QString& key : keys) {
        QString plain = key;
        while (plain.contains(QStringLiteral("//")))
            plain.replace(QStringLiteral("//"), QStringLiteral("/"));
        while (plain.startsWith(u'/'))
            plain.remove(0, 1);
        while (plain.endsWith(u'/'))
            plain.chop(1);
        if (plain != key)
            twins.insert(plain);
    }
    return twins;
}
}  // namespace

bool Registry::holdsWhatWasWritten() const
{
    // Read under another name of the file: the library keeps what it parsed per file name, and under
    // the store's own name it would answer with its own view of what it meant to write. The name is
    // one this process never used before: the library takes a file of the size and modification
    // time it parsed under a name as unchanged, and two stores written within one millisecond (or
    // one store twice) would be compared with a parse of the other.
    static std::atomic<unsigned long> checks{0};
    const int fd = ::open(QFile::encodeName(store_->fileName()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const QByteArray target = "/proc/self/fd/" + QByteArray::number(fd);
    bool same = true;  // without /proc there is no other name, and no check
    if (::access(target.constData(), R_OK) == 0) {
        // A link in a folder of its own, in the temporary folder (the store's may be on a file system
        // without links), else beside the store.
        QByteArray dir, other;
        for (const QString& base : {QDir::tempPath(), QFileInfo(store_->fileName()).absolutePath()}) {
            dir = QFile::encodeName(base) + "/.registry-check-XXXXXX";
            if (!::mkdtemp(dir.data()))
                continue;
            other = dir + '/' + QByteArray::number(checks++);
            if (::symlink(target.constData(), other.constData()) == 0)
                break;
            ::rmdir(dir.constData());
            other.clear();
        }
        same = !other.isEmpty();
        if (same) {
            const QSettings disk(QFile::decodeName(other), QSettings::IniFormat);
            const QStringList keys = store_->allKeys();
            const QSet<QString> twins = twinned(keys);
            same = std::all_of(keys.begin(), keys.end(), [&](const QString& k) {
                const QVariant value = store_->value(k);
                return !roundTrips(k, value) || twins.contains(k) || (disk.contains(k) && disk.value(k) == value);
            });
            ::unlink(other.constData());
            ::rmdir(dir.constData());
        }
    }
    ::close(fd);
    return same;
}

namespace {

// A name or value of the few characters that the library writes as they are, so that the lines it
// writes for them can be found again in the file by their bytes.
bool plainKey(const QString& path)
{
    return !path.isEmpty() && std::all_of(path.begin(), path.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
               c == u'/';
    });
}

// Writes `bytes` to a new file beside `path`, checks that it holds them all, and puts it in the
// place of `path`: a short write (a full disk, a size limit) never replaces the store. False when anything failed; the
// store then keeps what it held.
bool replaceWhole(const QByteArray& path, const registry_detail::MergedStore& bytes, mode_t mode)
{
    QByteArray temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (const QByteArrayView piece : bytes.pieces) {
        for (qsizetype done = 0; ok && done < piece.size();) {
            const ssize_t n = ::write(fd, piece.data() + done, static_cast<std::size_t>(piece.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0 || errno != EINTR)
                ok = false;
        }
    }
    ok = ok && ::fsync(fd) == 0;
    // Every write was counted and the data is on disk; the size the file system holds tells a
    // tear the counts could have missed, without reading megabytes back.
    struct stat written {};
    ok = ok && ::fstat(fd, &written) == 0 && written.st_size == bytes.size;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), path.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    const QByteArray dir = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    if (const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace

bool Registry::flush()
{
    if (!dirty_) {
        if (!store_)
            return true;  // nothing read, nothing to write
        store_->sync();   // nothing to write: only the view is brought up to date
        return store_->status() != QSettings::AccessError;
    }
    dirty_ = false;
    const bool plainWrites = !store_ && std::all_of(changes_.begin(), changes_.end(), [](const Change& c) {
        return c.kind == Change::Write && plainKey(c.path) && c.path.contains(u'/') &&
               c.path.section(u'/', 0, 0).compare(QLatin1String("General"), Qt::CaseInsensitive) != 0;
    });
    if (!plainWrites) {
        view();
        return flushThroughLibrary();
    }
    std::vector<Change> changes = std::move(changes_);
    changes_.clear();

    // The lines the library writes for these values, from a file of their own: its escaping is
    // then the library's, whatever the values hold.
    QByteArray lines;
    {
        QByteArray temp = QFile::encodeName(QDir::tempPath()) + "/brevon-registry-XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) {
            changes_ = std::move(changes);
            view();
            return flushThroughLibrary();
        }
        ::close(fd);
        {
            QSettings own(QFile::decodeName(temp), QSettings::IniFormat);
            for (const Change& c : changes)
                own.setValue(c.path, c.data);
        }
        QFile ownFile(QFile::decodeName(temp));
        if (ownFile.open(QIODevice::ReadOnly))
            lines = ownFile.readAll();
        ::unlink(temp.constData());
    }

    // The flushes of all processes take turns; the library's own lock is taken too.
    QLockFile turn(file_ + QStringLiteral(".flush-lock"));
    const bool locked = turn.tryLock(10000);
    QLockFile libraryTurn(file_ + QStringLiteral(".lock"));
    // The library's lock only keeps its own writers out meanwhile; the flush lock above is the one
    // that decides, so a library lock not had in time is gone on without.
    (void)libraryTurn.tryLock(10000);
    const QByteArray path = QFile::encodeName(file_);
    // Read in one go into a buffer of its size (a mapping would be cheaper, but a file cut short by
    // a program that ignores the lock would end this one with SIGBUS).
    struct stat st {};
    const int fd = locked && !lines.isEmpty() ? ::open(path.constData(), O_RDONLY | O_CLOEXEC) : -1;
    std::optional<registry_detail::MergedStore> merged;
    QByteArray bytes;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.resize(static_cast<qsizetype>(st.st_size) + 1);  // one byte more tells a file that grew
        qsizetype got = 0;
        for (ssize_t n; got < bytes.size() &&
                        (n = ::read(fd, bytes.data() + got, static_cast<std::size_t>(bytes.size() - got))) != 0;) {
            if (n < 0 && errno != EINTR) {
                got = -1;
                break;
            }
            got += std::max<ssize_t>(n, 0);
        }
        if (got == st.st_size) {
            bytes.resize(got);
            merged = registry_detail::mergeValueLines(bytes, lines);
        }
    }
    if (fd >= 0)
        ::close(fd);
    if (!merged) {
        // No store yet, or one the merge cannot be sure of: the library writes it, as for any change.
        libraryTurn.unlock();
        turn.unlock();
        changes_ = std::move(changes);
        view();
        return flushThroughLibrary();
    }
    const bool ok = replaceWhole(path, *merged, st.st_mode & 07777);
    if (!ok)
        ++gFailedFlushes;
    return ok;
}

namespace registry_detail {
namespace {

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

// One line of an INI file as the library reads it: a section header, a value under a key, or
// something else (blank, comment, a line without "="). False when the line's extent is not the
// physical line's: a quote left open or an escaped line end carry it on to the next.
struct IniLine {
    enum Kind { Other, Section, Value } kind = Other;
    QByteArrayView name;  // the section or the key, as written
};

bool parseLine(QByteArrayView line, IniLine& out)
{
    out = {};
    const QByteArrayView body = trimmed(line);
    if (body.isEmpty() || body.front() == ';')
        return true;
    if (body.front() == '[') {
        const qsizetype close = body.indexOf(']');
        if (close < 0)
            return false;
        out = {IniLine::Section, trimmed(body.sliced(1, close - 1))};
        return true;
    }
    bool quoted = false;
    qsizetype equals = -1, end = line.size();
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            if (++i == line.size())
                return false;  // an escaped line end
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '=' && equals < 0) {
            equals = i;
            // A value without quotes or escapes (most of them) ends with the line: no need to walk it.
            const QByteArrayView rest = line.sliced(i + 1);
            if (!quoted && !rest.contains('"') && !rest.contains('\\')) {
                out = {IniLine::Value, trimmed(line.first(equals))};
                return true;
            }
        } else if (c == ';' && !quoted) {
            end = i;  // the rest is a comment
            break;
        }
    }
    if (quoted && end == line.size())
        return false;
    if (equals >= 0 && equals < end)
        out = {IniLine::Value, trimmed(line.first(equals))};
    return true;
}

// Physical lines ending in LF; a CR only right before the LF.
bool splitLines(const QByteArray& bytes, std::vector<QByteArrayView>& lines)
{
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', at);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        QByteArrayView line(bytes.constData() + at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.contains('\r'))
            return false;
        lines.push_back(line);
        at = next;
    }
    return true;
}

}  // namespace

std::optional<MergedStore> mergeValueLines(const QByteArray& store, const QByteArray& newLines)
{
    // The new lines by section, and the keys they replace.
    struct Section {
        QByteArrayView name;
        std::vector<QByteArrayView> lines;
        std::vector<QByteArrayView> keys;
        qsizetype insertAfter = -1;  // the last line of its last occurrence in the store
    };
    std::vector<Section> sections;
    std::vector<QByteArrayView> own;
    if (!splitLines(newLines, own))
        return std::nullopt;
    for (const QByteArrayView line : own) {
        IniLine l;
        if (!parseLine(line, l))
            return std::nullopt;
        if (l.kind == IniLine::Section)
            sections.push_back({l.name, {}, {}, -1});
        else if (l.kind == IniLine::Value && !sections.empty()) {
            sections.back().lines.push_back(line);
            sections.back().keys.push_back(l.name);
        }
    }

    std::vector<QByteArrayView> lines;
    if (!splitLines(store, lines))
        return std::nullopt;
    // Which lines go, and where each section's last occurrence ends.
    std::vector<bool> drop(lines.size(), false);
    std::vector<std::pair<std::size_t, QByteArrayView>> headers;
    int current = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        IniLine l;
        if (!parseLine(lines[i], l))
            return std::nullopt;
        if (l.kind == IniLine::Section) {
            headers.emplace_back(i, l.name);
            current = -1;
            for (std::size_t s = 0; s < sections.size(); ++s)
                if (sections[s].name == l.name)
                    current = static_cast<int>(s);
            continue;
        }
        if (current < 0)
            continue;
        Section& section = sections[static_cast<std::size_t>(current)];
        if (l.kind == IniLine::Value &&
            std::find(section.keys.begin(), section.keys.end(), l.name) != section.keys.end())
            drop[i] = true;
        else if (l.kind != IniLine::Other || !trimmed(lines[i]).isEmpty())
            section.insertAfter = static_cast<qsizetype>(i);
    }
    // A section whose last occurrence holds nothing else takes its lines right after its header.
    for (const auto& [i, name] : headers)
        for (Section& section : sections)
            if (section.name == name && section.insertAfter < static_cast<qsizetype>(i))
                section.insertAfter = static_cast<qsizetype>(i);

    // The result as pieces: runs of the store's own bytes between the lines that go, and the new
    // lines. Megabytes of other programs' values are written from where they were read.
    MergedStore out;
    const auto piece = [&](QByteArrayView bytes) {
        if (!bytes.isEmpty()) {
            out.pieces.push_back(bytes);
            out.size += bytes.size();
        }
    };
    const auto owned = [&](QByteArray bytes) { piece(out.owned.emplace_back(std::move(bytes))); };
    const auto sectionLines = [&](const Section& section) {
        QByteArray text;
        for (const QByteArrayView line : section.lines)
            text.append(line).append('\n');
        return text;
    };
    const char* const base = store.constData();
    qsizetype run = 0;  // where the run of kept bytes not yet taken starts
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const qsizetype begin = lines[i].data() - base;
        qsizetype next = begin + lines[i].size();  // past the line end, CR LF or LF
        if (next < store.size())
            next += store[next] == '\r' ? 2 : 1;
        if (drop[i]) {
            piece(QByteArrayView(base + run, begin - run));
            run = next;
        }
        for (const Section& section : sections) {
            if (section.insertAfter != static_cast<qsizetype>(i))
                continue;
            piece(QByteArrayView(base + run, next - run));
            run = next;
            if (next == store.size() && !store.endsWith('\n'))
                owned("\n");
            owned(sectionLines(section));
        }
    }
    piece(QByteArrayView(base + run, store.size() - run));
    bool endsInBlankLine = store.endsWith("\n\n") || (!store.isEmpty() && store == "\n");
    for (const Section& section : sections) {
        if (section.insertAfter >= 0)
            continue;
        QByteArray text;
        if (out.size > 0 && !endsInBlankLine)
            text = store.endsWith('\n') || !out.owned.empty() ? "\n" : "\n\n";
        text.append('[').append(section.name).append("]\n").append(sectionLines(section));
        owned(std::move(text));
        endsInBlankLine = false;
    }
    return out;
}

}  // namespace registry_detail

bool Registry::flushThroughLibrary()
{
    // The settings library replaces the file by a new one, but takes a short write (a full disk, a
    // file size limit) for success and puts the torn file in place. So the file is read back, and
    // a torn one is replaced by the previous file, kept under a second name until then. The flushes
    // of all processes take turns, so that another writer's changes are not taken for a tear.
    changes_.clear();
    const QString name = store_->fileName();
    QLockFile turn(name + QStringLiteral(".flush-lock"));
    const bool locked = turn.tryLock(10000);
    const QByteArray path = QFile::encodeName(name);
    const QByteArray previous = path + ".previous";
    struct stat st {};
    const bool existed = ::stat(path.constData(), &st) == 0;
    bool kept = false;
    if (locked && existed) {
        ::unlink(previous.constData());  // left by a process that died here
        kept = ::link(path.constData(), previous.constData()) == 0;
    }
    store_->sync();
    // A FormatError tells of lines of the file as it was read (damaged by hand or by another
    // program), not of the writing: what could be parsed has been written back whole.
    const bool ok = store_->status() != QSettings::AccessError && holdsWhatWasWritten();
    if (kept && !ok)
        ::rename(previous.constData(), path.constData());  // the previous store back, whole
    else if (kept)
        ::unlink(previous.constData());
    else if (!ok && locked && !existed)
        ::unlink(path.constData());  // there was no store: none rather than a torn one
    if (!ok)
        ++gFailedFlushes;
    return ok;
}

int Registry::failedFlushes() { return gFailedFlushes.load(); }

int Registry::writeErrorOf(const QString& file, bool* folderIsCause)
{
    if (folderIsCause)
        *folderIsCause = false;
    const QByteArray path = QFile::encodeName(file);
    struct stat st {};
    const bool present = ::stat(path.constData(), &st) == 0;
    if (present && S_ISDIR(st.st_mode))
        return EISDIR;
    QByteArray probe = QFile::encodeName(QFileInfo(file).absolutePath()) + "/.registry-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        // The store is replaced by a new file beside it: a folder that takes no file is the cause.
        if (folderIsCause)
            *folderIsCause = true;
        return errno;
    }
    // A full disk shows only when written to: as much as the store holds, and a page more.
    const std::vector<char> bytes(static_cast<std::size_t>(present ? st.st_size : 0) + 4096, '\n');
    int error = 0;
    for (std::size_t done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    ::unlink(probe.constData());
    return error;
}

QString Registry::file() const { return file_; }

std::optional<int> toInt32(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int v = text->trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

}  // namespace platform
