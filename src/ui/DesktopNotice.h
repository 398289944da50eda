#pragma once
// A desktop notification: freedesktop notifications over the session bus, or the system tray's
// balloon where there is no such service but a tray. Neither there: nothing is shown and nothing
// fails. Calls never wait on the bus, so a hung notification service cannot stop the window.

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
    void showInTray(const QString& summary, const QString& body);

    bool busFailed_ = false;
    uint lastId_ = 0;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace ui
