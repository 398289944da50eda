#pragma once
// What the comment folders do while the main window is open. The mirrors of the received and the
// saved folder (store::FolderMirror) tell what came, changed and went; this shows it through the
// window's verbs: in saved mode the caption counts the arrivals and a button and a menu item
// ("新着コメント表示", F5) lead to received mode as a start with them would; in received mode they
// join the list at once. Lines whose files go leave the list, and a line whose name holds another
// file, or more of it, is read again, in either mode. When the window is not active the desktop
// is told of arrivals.

#include "store/FolderMirror.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
class TForm1;

namespace ui {
class DesktopNotice;
}

class Arrivals : public QObject {
    Q_OBJECT
public:
    // Follows the received and the saved folder: the mirrors are made before the window loads the
    // comments, so that a file arriving meanwhile is either loaded or counted, never missed; made
    // here when not handed over.
    explicit Arrivals(TForm1* form, std::unique_ptr<store::FolderMirror> received = nullptr,
                      std::unique_ptr<store::FolderMirror> saved = nullptr);
    ~Arrivals() override;

    // The window has read the received files: from now on a writer's open holds its file back.
    void followOpens() { received_.mirror->followOpens(); }

    // Arrivals not yet listed (saved mode), in the order they came.
    int pendingCount() const { return static_cast<int>(pending_.size()); }
    // The switch to received mode, as a start with the received folder as it now is.
    void ArrivalsBtClick();

    // The window closes: the toolbars go back to where the user put them, for the layout stored.
    void restoreUserLayout();

    // Tests: how the desktop is told (default: DesktopNotice).
    std::function<void(const QString& summary, const QString& body)> onNotify;

signals:
    // After what arrived, changed or vanished has been shown.
    void shown();
    // Comments of the folders went (`gone`), or came or changed (`more`): searches follow.
    void folderChanged(const std::vector<std::string>& gone, bool more);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Mirror {
        std::unique_ptr<store::FolderMirror> mirror;
        QSocketNotifier* notifier = nullptr;
        QTimer* timer = nullptr;
        // What came while a command's dialog was up: shown when the command has ended.
        store::MirrorChanges deferred;
    };
    void follow(Mirror& m);
    void read(Mirror& m);
    void armTimer(Mirror& m);
    void defer(Mirror& m, store::MirrorChanges changes);
    void apply(Mirror& m, const store::MirrorChanges& changes);
    void applyReceived(const store::MirrorChanges& changes);
    void applySaved(const store::MirrorChanges& changes);
    void updateLook();
    void tellDesktop(const store::MirrorEntry& newest, int count);
    void raiseWindow();
    void flushDeferred();

    TForm1* form_;
    Mirror received_;
    Mirror saved_;
    ui::DesktopNotice* notice_ = nullptr;
    std::vector<std::string> pending_;  // saved mode: paths of arrivals not yet listed
    int unseen_ = 0;                    // arrivals since the window was last active
    QPointer<QWidget> deferredFor_;
};
