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

// What a service with "body-markup" needs to show text as it is.
QString escapedMarkup(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}
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
    if (!busFailed_ && markup_ != Markup::Plain && markup_ != Markup::Marked) {
        // Asked once; meanwhile only the newest notice waits, as it would replace the others.
        waitingSummary_ = summary;
        waitingBody_ = body;
        if (markup_ == Markup::Asking)
            return;
        markup_ = Markup::Asking;
        const QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            const QDBusPendingReply<QStringList> reply = *w;
            const bool marked = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
            markup_ = marked ? Markup::Marked : Markup::Plain;
            notify(waitingSummary_, waitingBody_);
        });
        return;
    }
#endif
    notify(summary, body);
}

void DesktopNotice::notify(const QString& summary, const QString& shownBody)
{
#ifdef COMMENT_HAVE_DBUS
    if (!busFailed_) {
        const QString body = markup_ == Markup::Marked ? escapedMarkup(shownBody) : shownBody;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
        // "default" is the action of a click on the notice itself.
        call << QApplication::applicationName() << lastId_ << QString() << summary << body
             << QStringList{QStringLiteral("default"), QStringLiteral("表示")} << QVariantMap() << -1;
        auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, summary, shownBody](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    const QDBusPendingReply<uint> reply = *w;
                    if (reply.isError()) {
                        busFailed_ = true;  // no notification service on this bus: the tray, if any, from now on
                        showInTray(summary, shownBody);
                        return;
                    }
                    lastId_ = reply.value();
                });
        return;
    }
#endif
    showInTray(summary, shownBody);
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
