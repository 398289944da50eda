#pragma once
// Stand-in for the HKEY_CURRENT_USER part of the Windows registry, shared by the host suite's
// libraries and this program. Keys are written as on the original platform
// ("Software\Brevon\Comment"); all values are kept as text in one INI file.
//
// One Registry object is one consistent view: reads see the file as it was at the first read,
// writes are merged into the file under a lock and replaced atomically by flush() (also run by the
// destructor), so several suite programs can write at the same time without losing values. Writes
// of an object that read nothing are merged line by line into the file's bytes, in one pass over
// them: the store is shared by the whole suite and may be megabytes that the library would parse
// for seconds. The library's own merge stays the plain way, for everything else.

#include <QString>
#include <QStringList>

#include <QByteArray>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

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
    // `folderIsCause`, when given, tells whether no file could be made in its folder at all.
    static int writeErrorOf(const QString& file, bool* folderIsCause = nullptr);

    QString file() const;

private:
    struct Change {
        enum Kind { Write, RemoveValue, RemoveKey } kind;
        QString path;  // the library's path of the value or group
        QString data;
    };

    QSettings& view() const;
    bool holdsWhatWasWritten() const;
    bool flushThroughLibrary();

    QString file_;
    // Made at the first read: a store of megabytes takes the library long to parse, and writes
    // alone (the close) need no view of it.
    mutable std::unique_ptr<QSettings> store_;
    std::vector<Change> changes_;  // since the last flush, in order
    bool dirty_ = false;  // changes not flushed yet
};

namespace registry_detail {
// A store's new bytes: the pieces in order, views into the old store's bytes or into `owned`.
struct MergedStore {
    std::deque<QByteArray> owned;
    std::vector<QByteArrayView> pieces;
    qsizetype size = 0;
};
// Merges `lines` (what the library writes for some values: "[section]" headers, then "key=value"
// lines) into `store`, the bytes of a store file: each key's old line goes, the new ones join the
// end of their section. nullopt when the store holds a line whose extent the merge cannot be sure
// of (a quote or an escape running past the line end, a lone CR); the library then does the work.
std::optional<MergedStore> mergeValueLines(const QByteArray& store, const QByteArray& lines);
}  // namespace registry_detail

// Integers are kept as decimal text; nullopt for a value that is absent or not a 32-bit integer.
std::optional<int> toInt32(const std::optional<QString>& text);

}  // namespace platform
