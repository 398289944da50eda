// brvreg - read, change and dump the suite's settings store from a shell, the way administrators
// use "reg" on the suite's home platform:
//
//   brvreg query KEY [VALUE]      the value, or every value and subkey of KEY
//   brvreg add KEY VALUE DATA     set a value (all values are text; integers as decimal text)
//   brvreg delete KEY [VALUE]     remove a value, or KEY with everything below it
//   brvreg export                 the whole store as a .reg-style listing
//
// KEY is written with "\" separators and may start with HKEY_CURRENT_USER\ or HKCU\. Output is
// UTF-8. Exit code 0 on success, 1 when the key or value does not exist or the store cannot be
// written, 2 on a usage error.

#include "platform/qt/Registry.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");

void out(const QString& text) { std::fputs(text.toUtf8().constData(), stdout); }
void err(const QString& text) { std::fputs(text.toUtf8().constData(), stderr); }

QString bareKey(QString key)
{
    for (const QString& prefix : {QStringLiteral("HKEY_CURRENT_USER"), QStringLiteral("HKCU")}) {
        if (key.compare(prefix, Qt::CaseInsensitive) == 0)
            return {};
        if (key.startsWith(prefix + QLatin1Char('\\'), Qt::CaseInsensitive))
            return key.mid(prefix.size() + 1);
    }
    return key;
}

QString fullKey(const QString& key) { return key.isEmpty() ? kRoot : kRoot + QLatin1Char('\\') + key; }

QString childKey(const QString& key, const QString& sub) { return key.isEmpty() ? sub : key + QLatin1Char('\\') + sub; }

int notFound()
{
    err(QStringLiteral("ERROR: The system was unable to find the specified registry key or value.\n"));
    return 1;
}

int usage()
{
    err(QStringLiteral("usage: brvreg query KEY [VALUE]\n"
                       "       brvreg add KEY VALUE DATA\n"
                       "       brvreg delete KEY [VALUE]\n"
                       "       brvreg export\n"));
    return 2;
}

void printValue(const QString& name, const QString& data)
{
    out(QStringLiteral("    %1    REG_SZ    %2\n").arg(name, data));
}

int query(const platform::Registry& store, const QString& key, const QStringList& rest)
{
    if (rest.size() == 1) {
        const std::optional<QString> data = store.read(key, rest[0]);
        if (!data)
            return notFound();
        out(fullKey(key) + QLatin1Char('\n'));
        printValue(rest[0], *data);
        return 0;
    }
    const QStringList names = store.valueNames(key);
    const QStringList subs = store.subKeys(key);
    if (names.isEmpty() && subs.isEmpty())
        return notFound();
    out(fullKey(key) + QLatin1Char('\n'));
    for (const QString& name : names)
        printValue(name, store.read(key, name).value_or(QString()));
    if (!subs.isEmpty())
        out(QStringLiteral("\n"));
    for (const QString& sub : subs)
        out(fullKey(childKey(key, sub)) + QLatin1Char('\n'));
    return 0;
}

int add(platform::Registry& store, const QString& key, const QStringList& rest)
{
    store.write(key, rest[0], rest[1]);
    if (!store.flush()) {
        err(QStringLiteral("ERROR: cannot write %1\n").arg(store.file()));
        return 1;
    }
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

int remove(platform::Registry& store, const QString& key, const QStringList& rest)
{
    if (rest.size() == 1) {
        if (!store.read(key, rest[0]))
            return notFound();
        store.removeValue(key, rest[0]);
    } else {
        if (key.isEmpty() || (store.valueNames(key).isEmpty() && store.subKeys(key).isEmpty()))
            return notFound();
        store.removeKey(key);
    }
    if (!store.flush()) {
        err(QStringLiteral("ERROR: cannot write %1\n").arg(store.file()));
        return 1;
    }
    out(QStringLiteral("The operation completed successfully.\n"));
    return 0;
}

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void exportKey(const platform::Registry& store, const QString& key)
{
    const QStringList names = store.valueNames(key);
    if (!key.isEmpty() && !names.isEmpty()) {
        out(QStringLiteral("[%1]\n").arg(fullKey(key)));
        for (const QString& name : names)
            out(quoted(name) + QLatin1Char('=') + quoted(store.read(key, name).value_or(QString())) +
                QLatin1Char('\n'));
        out(QStringLiteral("\n"));
    }
    for (const QString& sub : store.subKeys(key))
        exportKey(store, childKey(key, sub));
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst().toLower();

    platform::Registry store;
    if (command == QLatin1String("export") && args.isEmpty()) {
        out(QStringLiteral("Windows Registry Editor Version 5.00\n\n"));
        exportKey(store, QString());
        return 0;
    }
    if (args.isEmpty())
        return usage();
    const QString key = bareKey(args.takeFirst());
    if (command == QLatin1String("query") && args.size() <= 1)
        return query(store, key, args);
    if (command == QLatin1String("add") && args.size() == 2 && !key.isEmpty())
        return add(store, key, args);
    if (command == QLatin1String("delete") && args.size() <= 1)
        return remove(store, key, args);
    return usage();
}
