#include "ui/Arrivals.h"

#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "platform/FileTime.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "store/ListText.h"
#include "store/Loader.h"
#include "ui/ArrivalAnnouncer.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/DesktopNotice.h"
#include "ui/GlyphStrip.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

using settings::Settings;

namespace {

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

double localTime(const struct stat& st) { return platform::toLocalDateTime(platform::lastWriteTime(st)); }

}  // namespace

Arrivals::Arrivals(TForm1* form, std::unique_ptr<store::ArrivalWatch> watch)
    : QObject(form), form_(form),
      watch_(watch ? std::move(watch) : std::make_unique<store::ArrivalWatch>(form->dirs().received))
{
    setObjectName(QStringLiteral("Arrivals"));
    baseTitle_ = form->windowTitle();

    ArrivalsBt = new docking::TToolbarButton(form->Toolbar3);
    ArrivalsBt->setObjectName(QStringLiteral("ArrivalsBt"));
    ArrivalsBt->setFixedSize(30, 25);
    ArrivalsBt->setHint(QStringLiteral("新着ｺﾒﾝﾄ表示"));
    ArrivalsBt->setNumGlyphs(5);
    ArrivalsBt->setGlyph(ui::glyphStrip(QStringLiteral("arrivals")));
    ArrivalsBt->setVisible(false);
    connect(ArrivalsBt, &docking::TToolbarButton::clicked, this, &Arrivals::ArrivalsBtClick);

    NArrivals = new QAction(QStringLiteral("新着コメント表示(&N)"), form);
    NArrivals->setObjectName(QStringLiteral("NArrivals"));
    NArrivals->setShortcut(Qt::Key_F5);  // a hidden item's shortcut does nothing
    NArrivals->setVisible(false);
    connect(NArrivals, &QAction::triggered, this, &Arrivals::ArrivalsBtClick);
    if (auto* view = form->viewMenu()) {
        separator_ = view->addSeparator();
        separator_->setVisible(false);
        view->addAction(NArrivals);
    } else {
        form->addAction(NArrivals);
    }

    if (watch_->fd() >= 0) {
        notifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &Arrivals::readWatch);
    }
    const ui::CommentListModel* lines = form->ListBox1->lines();
    const auto changedByOthers = [this] {
        if (!listing_)
            listedKnown_ = false;
    };
    connect(lines, &QAbstractItemModel::rowsInserted, this, changedByOthers);
    connect(lines, &QAbstractItemModel::rowsRemoved, this, changedByOthers);
    connect(lines, &QAbstractItemModel::modelReset, this, [this] {
        listedTimes_.clear();  // filled afresh from the comment table
        listedKnown_ = false;
    });
    const std::array<docking::TToolbar*, 3> bars{form->Toolbar1, form->Toolbar2, form->Toolbar3};
    for (size_t i = 0; i < bars.size(); ++i)
        connect(bars[i], &docking::TCustomToolWindow::dockChanged, this, [this, i] { movedByUser_[i] = true; });

    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    connect(settleTimer_, &QTimer::timeout, this, &Arrivals::readWatch);
    armTimer();  // a polled folder (no inotify) has its first look due already
    form->installEventFilter(this);
}

Arrivals::~Arrivals() = default;

void Arrivals::readWatch()
{
    // One buffer of events a turn: a flood of thousands is read between the window's other events.
    const store::ArrivalChanges changes = watch_->process(store::ArrivalWatch::Clock::now(), 1);
    armTimer();
    if (!changes.empty())
        apply(changes);
}

void Arrivals::armTimer()
{
    const auto next = watch_->nextDeadline();
    if (!next) {
        settleTimer_->stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - store::ArrivalWatch::Clock::now());
    settleTimer_->start(std::max<int>(0, static_cast<int>(wait.count())));
}

void Arrivals::defer(const store::ArrivalChanges& changes)
{
    // Kept net, vanished before arrived as apply() takes them: an arrival gone again before the
    // replay was never there; a vanished earlier arrival still takes its line with it.
    for (const std::string& path : changes.vanished) {
        if (std::erase_if(deferred_.arrived, [&path](const store::Arrival& a) { return a.path == path; }) == 0)
            deferred_.vanished.push_back(path);
    }
    deferred_.arrived.insert(deferred_.arrived.end(), changes.arrived.begin(), changes.arrived.end());
    deferred_.completed.insert(deferred_.completed.end(), changes.completed.begin(), changes.completed.end());
}

void Arrivals::apply(const store::ArrivalChanges& changes)
{
    // A command with a dialog up (the progress of a keep/delete batch, say) finishes first: the
    // list must not change under it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        defer(changes);
        if (deferredFor_ != modal) {
            deferredFor_ = modal;
            modal->installEventFilter(this);
            connect(modal, &QObject::destroyed, this, &Arrivals::flushDeferred);
        }
        return;
    }
    if (!deferred_.empty()) {
        defer(changes);  // behind what still waits to be shown
        return;
    }
    // A flood is shown in slices, so that the window keeps answering in between.
    const auto deadline = std::chrono::steady_clock::now() + kSlice;
    // Vanished first: a name moved in over an earlier arrival is gone and there again.
    if (!changes.vanished.empty()) {
        const std::unordered_set<std::string> gone(changes.vanished.begin(), changes.vanished.end());
        std::erase_if(pending_, [&gone](const store::Arrival& a) { return gone.count(a.path) > 0; });
        if (form_->receivedMode())
            leaveReceivedList(changes.vanished);
    }
    std::vector<store::Arrival> fresh;
    // Lines loaded before their files were whole, and arrivals listed already (by F5, say).
    std::vector<std::string> reread = changes.completed;
    size_t used = 0;
    if (form_->receivedMode()) {
        fresh = joinReceivedList(changes.arrived, deadline, used, reread);
    } else {
        for (; used < changes.arrived.size() && (used == 0 || std::chrono::steady_clock::now() < deadline); ++used) {
            const store::Arrival& a = changes.arrived[used];
            if (!exists(a.path))
                continue;  // gone again already
            pending_.push_back(a);
            fresh.push_back(a);
        }
    }
    if (used < changes.arrived.size()) {
        // The rest on the next turn, before anything that came meanwhile.
        store::ArrivalChanges later;
        std::swap(later, deferred_);
        deferred_.arrived.assign(changes.arrived.begin() + static_cast<std::ptrdiff_t>(used), changes.arrived.end());
        defer(later);
        QTimer::singleShot(0, this, &Arrivals::flushDeferred);
    }
    rereadLines(reread);
    updateLook();
    ui::ArrivalAnnouncer::of(form_).heard(fresh);
    if (!fresh.empty() && !form_->isActiveWindow()) {
        unseen_ += static_cast<int>(fresh.size());
        if (Settings().notifyArrivals)
            tellDesktop(fresh.back(), form_->receivedMode() ? unseen_ : pendingCount());
    }
    emit shown();
}

std::vector<store::Arrival> Arrivals::joinReceivedList(const std::vector<store::Arrival>& arrived,
                                                       std::chrono::steady_clock::time_point deadline, size_t& used,
                                                       std::vector<std::string>& listedAlready)
{
    indexListed();
    struct Join {
        int row;
        int category;
        store::TCmntInfo entry;
    };
    std::vector<Join> joins;
    std::vector<store::Arrival> listed;
    for (used = 0; used < arrived.size() && (used == 0 || std::chrono::steady_clock::now() < deadline); ++used) {
        const store::Arrival& a = arrived[used];
        if (listedTimes_.count(a.path)) {
            listedAlready.push_back(a.path);  // loaded with the others, perhaps before it was whole
            continue;
        }
        // Non-blocking: a pipe under a comment's name must not hang the window.
        const int fd = ::open(a.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENOENT)
            continue;  // gone again: nothing to list, nothing to report
        store::TCmntInfo entry;
        entry.path = a.path;
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            entry.time = localTime(st);
        store::ReadListText(a.category, a.path, fd, entry.listText, form_->messageSink());
        if (fd >= 0)
            ::close(fd);
        // Its category's block, newest first, after lines of the same time; the blocks in category
        // order, as a start lists them. Rows are of the list before this batch.
        joins.push_back({firstRowAfter(a.category, entry.time, false), a.category, std::move(entry)});
        listedTimes_[a.path] = joins.back().entry.time;
        listed.push_back(a);
    }
    // Those bound for one row go in with one insertion; from the end, so that rows stay valid.
    std::stable_sort(joins.begin(), joins.end(), [](const Join& x, const Join& y) {
        return std::tuple(x.row, x.category, -x.entry.time) < std::tuple(y.row, y.category, -y.entry.time);
    });
    listing_ = true;
    for (size_t end = joins.size(); end > 0;) {
        size_t first = end - 1;
        while (first > 0 && joins[first - 1].row == joins[end - 1].row)
            --first;
        std::vector<store::TCmntInfo> entries;
        entries.reserve(end - first);
        for (size_t i = first; i < end; ++i)
            entries.push_back(std::move(joins[i].entry));
        form_->addArrivals(joins[first].row, entries);
        end = first;
    }
    listing_ = false;
    return listed;
}

int Arrivals::rowOf(const std::string& path) const
{
    const auto it = listedTimes_.find(path);
    if (it == listedTimes_.end())
        return -1;  // not listed (kept or deleted here already)
    // Among the lines of its category and time, found by halving.
    const auto& paths = form_->pathList();
    const int count = static_cast<int>(paths.size());
    const double time = it->second;
    int row = firstRowAfter(store::categoryOfName(fileName(path)), time, true);
    while (row < count && paths[static_cast<size_t>(row)] != path) {
        const auto t = listedTimes_.find(paths[static_cast<size_t>(row)]);
        if (t == listedTimes_.end() || t->second != time)
            break;
        ++row;
    }
    if (row >= count || paths[static_cast<size_t>(row)] != path)
        row = static_cast<int>(std::find(paths.begin(), paths.end(), path) - paths.begin());
    return row < count ? row : -1;
}

void Arrivals::leaveReceivedList(const std::vector<std::string>& vanished)
{
    indexListed();
    std::vector<int> rows;
    for (const std::string& path : vanished) {
        if (const int row = rowOf(path); row >= 0)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const std::string& path : vanished)
        listedTimes_.erase(path);
    listing_ = true;
    form_->removeVanished(rows);
    listing_ = false;
}

void Arrivals::indexListed()
{
    if (listedKnown_)
        return;
    // Lines this class listed keep their times; the others come from the comment table.
    std::unordered_map<std::string, double> tableTimes;
    const store::CommentTable& table = form_->commentTable();
    for (int k = 0; k < store::kCategoryCount; ++k) {
        for (int n = 1; n <= table.count(k); ++n)
            tableTimes.emplace(table.entry(k, n).path, table.entry(k, n).time);
    }
    std::unordered_map<std::string, double> times;
    times.reserve(form_->pathList().size());
    for (const std::string& p : form_->pathList()) {
        if (const auto it = listedTimes_.find(p); it != listedTimes_.end()) {
            times.emplace(p, it->second);
        } else if (const auto t = tableTimes.find(p); t != tableTimes.end()) {
            times.emplace(p, t->second);
        } else {
            struct stat st {};
            times.emplace(p, ::stat(p.c_str(), &st) == 0 ? localTime(st) : 0.0);
        }
    }
    listedTimes_ = std::move(times);
    listedKnown_ = true;
}

int Arrivals::firstRowAfter(int category, double time, bool equalToo) const
{
    // The list runs by category, each newest first: the rows after the place sought form a tail.
    const auto& paths = form_->pathList();
    int lo = 0;
    int hi = static_cast<int>(paths.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const std::string& p = paths[static_cast<size_t>(mid)];
        const int k = store::categoryOfName(fileName(p));
        const auto it = listedTimes_.find(p);
        const double t = it == listedTimes_.end() ? time : it->second;
        if (k > category || (k == category && (t < time || (equalToo && t == time))))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

void Arrivals::rereadLines(const std::vector<std::string>& files)
{
    // Only the received list shows files of the watched folder.
    if (files.empty() || !form_->receivedMode())
        return;
    indexListed();
    store::SilentSink silent;
    for (const std::string& path : files) {
        const int row = rowOf(path);
        if (row < 0)
            continue;
        // Gone or unreadable since: the line keeps what it had, and opening it will tell.
        std::string listText;
        if (store::ReadListText(store::categoryOfName(fileName(path)), path, listText, silent))
            form_->refreshLine(row, std::move(listText));
    }
}

void Arrivals::ArrivalsBtClick()
{
    if (form_->receivedMode() || pending_.empty())
        return;
    pending_.clear();
    if (form_->switchToReceivedMode())
        unseen_ = 0;
    updateLook();
}

void Arrivals::updateLook()
{
    const int n = form_->receivedMode() ? 0 : pendingCount();
    const QString title = n > 0 ? QStringLiteral("%1 (新着 %2件)").arg(baseTitle_).arg(n) : baseTitle_;
    if (form_->windowTitle() != title)
        form_->setWindowTitle(title);
    showButton(n > 0);
    NArrivals->setVisible(n > 0);
    NArrivals->setEnabled(n > 0);
    if (separator_)
        separator_->setVisible(n > 0);
}

void Arrivals::showButton(bool show)
{
    if (show == ArrivalsBt->isVisibleTo(form_->Toolbar3))
        return;
    if (show) {
        placesBefore_ = places();
        pushedKnown_ = false;
        movedByUser_ = {};
        ArrivalsBt->setVisible(true);
        // The toolbar and its dock arrange on later turns of the event loop.
        QTimer::singleShot(200, this, [this] {
            placesPushed_ = places();
            pushedKnown_ = true;
        });
        return;
    }
    ArrivalsBt->setVisible(false);
    // A toolbar still where the push left it goes back; one the user has dragged or aligned stays.
    const Places now = places();
    const std::array<docking::TToolbar*, 3> bars{form_->Toolbar1, form_->Toolbar2, form_->Toolbar3};
    const QList<docking::TDock*> docks = docking::docksOf(form_);
    for (docking::TDock* d : docks)
        d->suspendArrange();  // all back at once: one put back early would be pushed by the next
    for (size_t i = 0; i < bars.size(); ++i) {
        if (movedByUser_[i] || (pushedKnown_ && now[i] != placesPushed_[i]))
            continue;
        const auto& [dock, row, pos] = placesBefore_[i];
        if (std::get<0>(now[i]) == dock && std::get<1>(now[i]) == row && bars[i]->dockPos() != pos)
            bars[i]->setDockPos(pos);
    }
    for (auto it = docks.rbegin(); it != docks.rend(); ++it)
        (*it)->resumeArrange();
}

Arrivals::Places Arrivals::places() const
{
    Places p;
    const std::array<docking::TToolbar*, 3> bars{form_->Toolbar1, form_->Toolbar2, form_->Toolbar3};
    for (size_t i = 0; i < bars.size(); ++i)
        p[i] = {bars[i]->dockedTo(), bars[i]->dockRow(), bars[i]->dockPos()};
    return p;
}

void Arrivals::tellDesktop(const store::Arrival& newest, int count)
{
    std::string listText;
    store::SilentSink silent;
    store::ReadListText(newest.category, newest.path, listText, silent);
    const QString summary = QStringLiteral("新着コメント %1件").arg(count);
    const QString body = platform::fromCp932(listText).simplified();
    if (onNotify) {
        onNotify(summary, body);
        return;
    }
    if (!notice_) {
        notice_ = new ui::DesktopNotice(this);
        connect(notice_, &ui::DesktopNotice::clicked, this, &Arrivals::raiseWindow);
    }
    notice_->show(summary, body);
}

void Arrivals::raiseWindow()
{
    if (form_->isMinimized())
        form_->showNormal();
    form_->raise();
    form_->activateWindow();
}

bool Arrivals::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form_ && event->type() == QEvent::WindowActivate)
        unseen_ = 0;
    if (watched == deferredFor_ && (event->type() == QEvent::Hide || event->type() == QEvent::Close)) {
        deferredFor_->removeEventFilter(this);
        disconnect(deferredFor_, &QObject::destroyed, this, &Arrivals::flushDeferred);
        deferredFor_ = nullptr;
        QTimer::singleShot(0, this, &Arrivals::flushDeferred);
    }
    return QObject::eventFilter(watched, event);
}

void Arrivals::flushDeferred()
{
    store::ArrivalChanges changes;
    std::swap(changes, deferred_);
    if (!changes.empty())
        apply(changes);
}
