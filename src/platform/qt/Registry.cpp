#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <atomic>
#include <cerrno>
#include <cstdlib>
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
}

void Registry::removeValue(const QString& key, const QString& name) { store_->remove(pathOf(key, name)); }

void Registry::removeKey(const QString& key) { store_->remove(groupOf(key)); }

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
}  // namespace

bool Registry::flush()
{
    store_->sync();
    const bool ok = store_->status() == QSettings::NoError;
    if (!ok)
        ++gFailedFlushes;
    return ok;
}

int Registry::failedFlushes() { return gFailedFlushes.load(); }

int Registry::writeErrorOf(const QString& file)
{
    const QByteArray path = QFile::encodeName(file);
    struct stat st{};
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
