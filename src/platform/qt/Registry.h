#pragma once
// Stand-in for the HKEY_CURRENT_USER part of the Windows registry, shared by the host suite's
// libraries and this program. Keys are written as on the original platform
// ("Software\Brevon\Comment"); all values are kept as text in one INI file.
//
// One Registry object is one consistent view: reads see the file as it was when the object was
// made, writes are merged into the file under a lock and replaced atomically by flush() (also run
// by the destructor), so several suite programs can write at the same time without losing values.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

namespace platform {

class Registry {
public:
    Registry();
    explicit Registry(const QString& file);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The store file: $BREVON_REGISTRY, else $XDG_CONFIG_HOME/Brevon/registry.ini (else ~/.config/...).
    static QString defaultFile();

    std::optional<QString> read(const QString& key, const QString& name) const;
    void write(const QString& key, const QString& name, const QString& data);
    void removeValue(const QString& key, const QString& name);
    void removeKey(const QString& key);  // the key with all its values and subkeys

    QStringList valueNames(const QString& key) const;
    QStringList subKeys(const QString& key) const;

    // Writes pending changes; false when the store could not be written whole. The file then keeps
    // what it held: a short write (a full disk) is found by reading the file back.
    bool flush();

    // Flushes of this process that failed so far: a caller that writes through several Registry
    // objects (or lets the destructor flush) learns that one of them failed.
    static int failedFlushes();

    // Why `file` cannot be written now, as an errno value, from a trial write beside it of a little
    // more than it holds; 0 when that succeeds. (The settings library reports only that it failed.)
    static int writeErrorOf(const QString& file);

    QString file() const;

private:
    bool holdsWhatWasWritten() const;

    std::unique_ptr<QSettings> store_;
    bool dirty_ = false;  // changes not flushed yet
};

// Integers are kept as decimal text; nullopt for a value that is absent or not a 32-bit integer.
std::optional<int> toInt32(const std::optional<QString>& text);

}  // namespace platform
