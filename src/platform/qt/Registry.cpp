#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
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

Registry::Registry(const QString& file) : store_(std::make_unique<QSettings>(file, QSettings::IniFormat))
{
    QDir().mkpath(QFileInfo(file).absolutePath());
}

Registry::~Registry() { flush(); }

std::optional<QString> Registry::read(const QString& key, const QString& name) const
{
    const QVariant v = store_->value(pathOf(key, name));
    if (!v.isValid())
        return std::nullopt;
    // A value written as a list by a hand-edited file ("a, b") comes back as QStringList.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

void Registry::write(const QString& key, const QString& name, const QString& data)
{
    store_->setValue(pathOf(key, name), data);
    dirty_ = true;
}

void Registry::removeValue(const QString& key, const QString& name)
{
    store_->remove(pathOf(key, name));
    dirty_ = true;
}

void Registry::removeKey(const QString& key)
{
    store_->remove(groupOf(key));
    dirty_ = true;
}

QStringList Registry::valueNames(const QString& key) const
{
    store_->beginGroup(groupOf(key));
    QStringList names = store_->childKeys();
    store_->endGroup();
    return names;
}

QStringList Registry::subKeys(const QString& key) const
{
    store_->beginGroup(groupOf(key));
    QStringList names = store_->childGroups();
    store_->endGroup();
    return names;
}

namespace {
std::atomic<int> gFailedFlushes{0};

bool plainText(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
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
}  // namespace

bool Registry::holdsWhatWasWritten() const
{
    // Read under another name of the file: the library keeps what it parsed per file name, and under
    // the store's own name it would answer with its own view of what it meant to write.
    const int fd = ::open(QFile::encodeName(store_->fileName()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const QByteArray other = "/proc/self/fd/" + QByteArray::number(fd);
    bool same = true;  // without /proc there is no other name, and no check
    if (::access(other.constData(), R_OK) == 0) {
        const QSettings disk(QFile::decodeName(other), QSettings::IniFormat);
        const QStringList keys = store_->allKeys();
        same = std::all_of(keys.begin(), keys.end(), [&](const QString& k) {
            const QVariant value = store_->value(k);
            return !roundTrips(k, value) || (disk.contains(k) && disk.value(k) == value);
        });
    }
    ::close(fd);
    return same;
}

bool Registry::flush()
{
    // The settings library replaces the file by a new one, but takes a short write (a full disk, a
    // file size limit) for success and puts the torn file in place. So the file is read back, and
    // a torn one is replaced by the previous file, kept under a second name until then. The flushes
    // of all processes take turns, so that another writer's changes are not taken for a tear.
    if (!dirty_) {
        store_->sync();  // nothing to write: only the view is brought up to date
        return store_->status() != QSettings::AccessError;
    }
    dirty_ = false;
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

int Registry::writeErrorOf(const QString& file)
{
    const QByteArray path = QFile::encodeName(file);
    struct stat st {};
    const bool present = ::stat(path.constData(), &st) == 0;
    if (present && S_ISDIR(st.st_mode))
        return EISDIR;
    QByteArray probe = QFile::encodeName(QFileInfo(file).absolutePath()) + "/.registry-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return errno;
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

QString Registry::file() const { return store_->fileName(); }

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
