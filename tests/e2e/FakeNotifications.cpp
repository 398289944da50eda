// A stand-in for the desktop's notification service (org.freedesktop.Notifications) on a private
// session bus: logs each notice as one line "summary<TAB>body" to the file named by its first
// argument, and "clicks" it (emits ActionInvoked with "default") after the milliseconds of its
// second argument, as a user would. A third argument "body-markup" makes it announce that it reads
// the body as markup, as GNOME, KDE and dunst do.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>
#include <QVariantMap>

#include <cstdio>

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotifications(QString log, int clickAfter, bool markup)
        : log_(std::move(log)), clickAfter_(clickAfter), markup_(markup)
    {
    }

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        QFile f(log_);
        if (f.open(QIODevice::Append))
            f.write((summary + QLatin1Char('\t') + body + QLatin1Char('\n')).toUtf8());
        const uint id = replacesId ? replacesId : ++last_;
        QTimer::singleShot(clickAfter_, this, [this, id] { emit ActionInvoked(id, QStringLiteral("default")); });
        return id;
    }
    QStringList GetCapabilities()
    {
        QStringList caps{QStringLiteral("actions"), QStringLiteral("body")};
        if (markup_)
            caps << QStringLiteral("body-markup");
        return caps;
    }
    void CloseNotification(uint) {}

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    QString log_;
    int clickAfter_;
    bool markup_;
    uint last_ = 0;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: fake-notifications LOG CLICK_AFTER_MS [body-markup]\n");
        return 2;
    }
    FakeNotifications server(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]),
                             argc > 3 && QByteArray(argv[3]) == "body-markup");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        std::fprintf(stderr, "fake-notifications: cannot register on the session bus\n");
        return 1;
    }
    // A test starts sending notices once it reads this.
    std::printf("registered\n");
    std::fflush(stdout);
    return app.exec();
}

#include "FakeNotifications.moc"
