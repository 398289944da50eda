#include "ui/DesktopNotice.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

#ifdef COMMENT_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace ui {
namespace {

#ifdef COMMENT_HAVE_DBUS
const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
#endif

}  // namespace

DesktopNotice::DesktopNotice(QObject* parent) : QObject(parent)
{
#ifdef COMMENT_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
    else
        busFailed_ = true;
#else
    busFailed_ = true;
#endif
}

void DesktopNotice::show(const QString& summary, const QString& body)
{
#ifdef COMMENT_HAVE_DBUS
    if (!busFailed_) {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
        // "default" is the action of a click on the notice itself.
        call << QApplication::applicationName() << lastId_ << QString() << summary << body
             << QStringList{QStringLiteral("default"), QStringLiteral("表示")} << QVariantMap() << -1;
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, summary, body](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<uint> reply = *w;
            if (reply.isError()) {
                busFailed_ = true;  // no notification service on this bus: the tray, if any, from now on
                showInTray(summary, body);
                return;
            }
            lastId_ = reply.value();
        });
        return;
    }
#endif
    showInTray(summary, body);
}

void DesktopNotice::showInTray(const QString& summary, const QString& body)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())  // the up image of the arrivals button's strip
            icon = QIcon(QPixmap(QStringLiteral(":/icons/arrivals.png")).copy(0, 0, 20, 18));
        tray_ = new QSystemTrayIcon(icon, this);
        connect(tray_, &QSystemTrayIcon::messageClicked, this, &DesktopNotice::clicked);
        connect(tray_, &QSystemTrayIcon::activated, this, &DesktopNotice::clicked);
    }
    tray_->show();
    tray_->showMessage(summary, body);
}

void DesktopNotice::onActionInvoked(uint id, const QString& action)
{
    if (id == lastId_ && lastId_ != 0 && action == QStringLiteral("default"))
        emit clicked();
}

}  // namespace ui
