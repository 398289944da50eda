#pragma once
// A desktop notification: freedesktop notifications over the session bus, or the system tray's
// balloon where there is no such service but a tray. Neither there: nothing is shown and nothing
// fails. Calls never wait on the bus, so a hung notification service cannot stop the window.
// A service that reads the body as markup gets it escaped: a comment's text stays text.

#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace ui {

class DesktopNotice : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotice(QObject* parent);
    // Replaces the notice shown before, if it is still there.
    void show(const QString& summary, const QString& body);

signals:
    void clicked();

private slots:
    void onActionInvoked(uint id, const QString& action);

private:
    void notify(const QString& summary, const QString& body);
    void showInTray(const QString& summary, const QString& body);

    enum class Markup { Unknown, Asking, Plain, Marked };
    Markup markup_ = Markup::Unknown;       // what the service's GetCapabilities said of the body
    QString waitingSummary_, waitingBody_;  // the notice to show once that is known
    bool busFailed_ = false;
    uint lastId_ = 0;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace ui
