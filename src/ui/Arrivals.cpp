#include "ui/Arrivals.h"

#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "platform/FileTime.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "store/ListText.h"
#include "store/Loader.h"
#include "ui/ComMain.h"
#include "ui/DesktopNotice.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QSocketNotifier>
#include <QSplitter>
#include <QTimer>

#include <algorithm>
#include <sys/stat.h>
#include <unordered_map>

using settings::Settings;

namespace {

// The notice is no place for the loader's error boxes: an unreadable file shows no text there.
class SilentSink final : public store::MessageSink {
public:
    void showMessage(const std::string&, const std::string&, const std::string&, int) override {}
};

QPixmap arrivalsGlyph()
{
    const bool twice = qApp->devicePixelRatio() > 1.0;
    QPixmap strip(twice ? QStringLiteral(":/icons/arrivals@2x.png") : QStringLiteral(":/icons/arrivals.png"));
    if (twice)
        strip.setDevicePixelRatio(2.0);
    return strip;
}

std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

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
    ArrivalsBt->setGlyph(arrivalsGlyph());
    ArrivalsBt->setVisible(false);
    connect(ArrivalsBt, &docking::TToolbarButton::clicked, this, &Arrivals::ArrivalsBtClick);

    NArrivals = new QAction(QStringLiteral("新着コメント表示(&N)"), form);
    NArrivals->setObjectName(QStringLiteral("NArrivals"));
    NArrivals->setShortcut(Qt::Key_F5);  // a hidden item's shortcut does nothing
    NArrivals->setVisible(false);
    connect(NArrivals, &QAction::triggered, this, &Arrivals::ArrivalsBtClick);
    if (auto* view = qobject_cast<QMenu*>(form->NKessan->associatedObjects().value(0))) {
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
    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    connect(settleTimer_, &QTimer::timeout, this, &Arrivals::readWatch);
    armTimer();  // a polled folder (no inotify) has its first look due already
    form->installEventFilter(this);
}

Arrivals::~Arrivals() = default;

void Arrivals::readWatch()
{
    const store::ArrivalChanges changes = watch_->process();
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

void Arrivals::apply(const store::ArrivalChanges& changes)
{
    // A command with a dialog up (the progress of a keep/delete batch, say) finishes first: the
    // list must not change under it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        deferred_.arrived.insert(deferred_.arrived.end(), changes.arrived.begin(), changes.arrived.end());
        deferred_.vanished.insert(deferred_.vanished.end(), changes.vanished.begin(), changes.vanished.end());
        deferred_.completed.insert(deferred_.completed.end(), changes.completed.begin(), changes.completed.end());
        if (deferredFor_ != modal) {
            deferredFor_ = modal;
            modal->installEventFilter(this);
            connect(modal, &QObject::destroyed, this, &Arrivals::flushDeferred);
        }
        return;
    }
    for (const std::string& path : changes.vanished)
        std::erase_if(pending_, [&path](const store::Arrival& a) { return a.path == path; });
    std::vector<store::Arrival> fresh;
    std::vector<std::string> reread = changes.completed;
    for (const store::Arrival& a : changes.arrived) {
        if (form_->receivedMode()) {
            const auto& paths = form_->pathList();
            if (std::find(paths.begin(), paths.end(), a.path) != paths.end()) {
                reread.push_back(a.path);  // loaded with the others already, perhaps before it was whole
                continue;
            }
            joinReceivedList(a);
        } else {
            pending_.push_back(a);
        }
        fresh.push_back(a);
    }
    rereadLines(reread);
    updateLook();
    if (!fresh.empty() && !form_->isActiveWindow()) {
        unseen_ += static_cast<int>(fresh.size());
        if (Settings().notifyArrivals)
            tellDesktop(fresh.back(), form_->receivedMode() ? unseen_ : pendingCount());
    }
    emit shown();
}

void Arrivals::joinReceivedList(const store::Arrival& arrival)
{
    store::TCmntInfo entry;
    entry.path = arrival.path;
    struct stat st{};
    if (::stat(arrival.path.c_str(), &st) == 0)
        entry.time = platform::toLocalDateTime(platform::lastWriteTime(st));
    store::ReadListText(arrival.category, arrival.path, entry.listText, *form_->sink_);

    // The lines' times: the table keeps those loaded at the start, this class those that joined.
    std::unordered_map<std::string, double> times(joinedTimes_.begin(), joinedTimes_.end());
    const store::CommentTable& table = form_->commentTable();
    for (int k = 0; k < store::kCategoryCount; ++k) {
        for (int n = 1; n <= table.count(k); ++n)
            times.emplace(table.entry(k, n).path, table.entry(k, n).time);
    }
    // Its category's block, newest first; the blocks in category order, as a start lists them.
    const auto& paths = form_->pathList();
    int row = 0;
    for (; row < static_cast<int>(paths.size()); ++row) {
        const std::string& p = paths[static_cast<size_t>(row)];
        const int k = store::categoryOfName(fileName(p));
        const auto t = times.find(p);
        if (k > arrival.category || (k == arrival.category && t != times.end() && t->second < entry.time))
            break;
    }
    form_->insertLine(row, entry);
    joinedTimes_[entry.path] = entry.time;
}

void Arrivals::rereadLines(const std::vector<std::string>& files)
{
    if (files.empty())
        return;
    // One look-up table for the batch: a writer may close many listed files at once.
    std::unordered_map<std::string, int> rows;
    const auto& paths = form_->pathList();
    for (size_t row = 0; row < paths.size(); ++row)
        rows.emplace(paths[row], static_cast<int>(row));
    SilentSink silent;
    for (const std::string& path : files) {
        const auto it = rows.find(path);
        if (it == rows.end())
            continue;
        // Gone or unreadable since: the line keeps what it had, and opening it will tell.
        std::string listText;
        if (store::ReadListText(store::categoryOfName(fileName(path)), path, listText, silent))
            form_->replaceLine(it->second, std::move(listText));
    }
}

void Arrivals::ArrivalsBtClick()
{
    if (form_->receivedMode() || pending_.empty())
        return;
    // As FormCreate decides at a start: received mode when the folder holds received comments.
    store::LoadCategories(form_->table_, form_->dirs_, true, Settings(), *form_->sink_);
    pending_.clear();
    if (form_->table_.empty()) {
        // Gone again meanwhile: the saved comments stay on show.
        store::LoadCategories(form_->table_, form_->dirs_, false, Settings(), *form_->sink_);
        updateLook();
        return;
    }
    joinedTimes_.clear();
    unseen_ = 0;
    form_->receivedMode_ = true;
    form_->enableByMode();
    form_->fillReceivedList();
    form_->Splitter1->widget(0)->setFocus();  // the list, as after a start
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
        ArrivalsBt->setVisible(true);
        // The toolbar and its dock arrange on later turns of the event loop.
        QTimer::singleShot(200, this, [this] {
            placesPushed_ = places();
            pushedKnown_ = true;
        });
        return;
    }
    ArrivalsBt->setVisible(false);
    if (pushedKnown_ && places() != placesPushed_)
        return;  // the user has arranged the toolbars since: that stays
    const std::array<docking::TToolbar*, 3> bars{form_->Toolbar1, form_->Toolbar2, form_->Toolbar3};
    for (size_t i = 0; i < bars.size(); ++i) {
        if (bars[i]->dockPos() != std::get<2>(placesBefore_[i]))
            bars[i]->setDockPos(std::get<2>(placesBefore_[i]));
    }
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
    SilentSink silent;
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
