#pragma once
// Comments that arrive while the main window is open. The watch (store::ArrivalWatch) tells what
// arrived; this shows it: in saved mode the caption counts the arrivals and a button and a menu
// item ("新着コメント表示", F5) lead to received mode as a start with them would; in received mode
// they join the list at once. When the window is not active the desktop is told.

#include "store/ArrivalWatch.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <vector>

class QAction;
class QSocketNotifier;
class QTimer;
class TForm1;

namespace docking {
class TDock;
class TToolbarButton;
}  // namespace docking
namespace ui {
class DesktopNotice;
}

class Arrivals : public QObject {
    Q_OBJECT
public:
    // Starts watching the received folder: made before the window loads the received comments,
    // so that a file arriving meanwhile is either loaded or counted, never missed. A window that
    // loads while it is still being built starts the watch first and hands it over here.
    explicit Arrivals(TForm1* form, std::unique_ptr<store::ArrivalWatch> watch = nullptr);
    ~Arrivals() override;

    docking::TToolbarButton* ArrivalsBt = nullptr;  // "新着ｺﾒﾝﾄ表示", the end of Toolbar3
    QAction* NArrivals = nullptr;                   // 表示 → "新着コメント表示(&N)", F5

    // The window has read the received files: from now on a writer's open holds its file back.
    void followOpens() { watch_->followOpens(); }

    // Arrivals not yet listed (saved mode), in the order they came.
    int pendingCount() const { return static_cast<int>(pending_.size()); }
    // The switch to received mode, as a start with the received folder as it now is.
    void ArrivalsBtClick();

    // The window closes: the toolbars go back to where the user put them, for the layout stored.
    void restoreUserLayout() { showButton(false); }

    // Tests: how the desktop is told (default: DesktopNotice).
    std::function<void(const QString& summary, const QString& body)> onNotify;

signals:
    // After what arrived or vanished has been shown.
    void shown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readWatch();
    void armTimer();
    void defer(const store::ArrivalChanges& changes);
    void apply(const store::ArrivalChanges& changes);
    void rereadLines(const std::vector<std::string>& files);  // listed files whose text may have grown
    // Lists arrivals from the first until `deadline` (at least one); `used` tells how many it took.
    std::vector<store::Arrival> joinReceivedList(const std::vector<store::Arrival>& arrived,
                                                 std::chrono::steady_clock::time_point deadline, size_t& used,
                                                 std::vector<std::string>& listedAlready);
    void leaveReceivedList(const std::vector<std::string>& vanished);
    void indexListed();
    int firstRowAfter(int category, double time, bool equalToo) const;
    int rowOf(const std::string& path) const;  // of a listed path, or -1; after indexListed()
    void updateLook();
    void tellDesktop(const store::Arrival& newest, int count);
    void raiseWindow();
    void flushDeferred();
    void showButton(bool show);

    // Where the three toolbars sit (dock, row, position): the wider Toolbar3 pushes its neighbours
    // along, and each goes back when the button goes, unless the user has moved it meanwhile.
    using Places = std::array<std::tuple<docking::TDock*, int, int>, 3>;
    Places places() const;

    static constexpr std::chrono::milliseconds kSlice{5};

    TForm1* form_;
    std::unique_ptr<store::ArrivalWatch> watch_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* settleTimer_ = nullptr;
    QAction* separator_ = nullptr;
    ui::DesktopNotice* notice_ = nullptr;
    QString baseTitle_;
    std::vector<store::Arrival> pending_;
    // Received mode: the time of every listed line, by path. Lists changed by others (a keep or
    // delete, a refill) have it made again before its next use.
    std::unordered_map<std::string, double> listedTimes_;
    bool listedKnown_ = false;
    bool listing_ = false;  // this class is changing the list
    int unseen_ = 0;        // arrivals since the window was last active
    // What arrived while a command's dialog was up, or the rest of a flood: shown when the
    // command has ended, or on the next turn of the event loop.
    store::ArrivalChanges deferred_;
    QPointer<QWidget> deferredFor_;
    Places placesBefore_{};
    Places placesPushed_{};
    bool pushedKnown_ = false;
    std::array<bool, 3> movedByUser_{};  // dragged or aligned while the button was up
};
