#include "ui/Arrivals.h"

#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "ui/ArrivalAnnouncer.h"
#include "ui/ComMain.h"
#include "ui/DesktopNotice.h"

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <unordered_set>

using settings::Settings;

namespace {

// Net changes of two batches in their order: what went after it came was never there; what came
// after it went stands for another file.
void merge(store::MirrorChanges& into, store::MirrorChanges later)
{
    const std::unordered_set<std::string> gone(later.gone.begin(), later.gone.end());
    const auto leaves = [&gone](const store::MirrorEntry& e) { return gone.count(e.path) > 0; };
    std::erase_if(into.added, leaves);
    std::erase_if(into.replaced, leaves);
    std::erase_if(into.completed, leaves);
    into.gone.insert(into.gone.end(), later.gone.begin(), later.gone.end());
    for (auto* group : {&later.added, &later.replaced}) {
        for (store::MirrorEntry& e : *group) {
            if (std::erase(into.gone, e.path) > 0)
                into.replaced.push_back(std::move(e));
            else
                into.added.push_back(std::move(e));
        }
    }
    into.completed.insert(into.completed.end(), later.completed.begin(), later.completed.end());
}

}  // namespace

Arrivals::Arrivals(TForm1* form, std::unique_ptr<store::FolderMirror> received,
                   std::unique_ptr<store::FolderMirror> saved)
    : QObject(form), form_(form)
{
    setObjectName(QStringLiteral("Arrivals"));
    received_.mirror = received ? std::move(received)
                                : std::make_unique<store::FolderMirror>(form->dirs().received, true,
                                                                        &form->messageSink());
    saved_.mirror = saved ? std::move(saved) : std::make_unique<store::FolderMirror>(form->dirs().saved, false);
    form->addArrivalsCommand([this] { ArrivalsBtClick(); });
    follow(received_);
    follow(saved_);
    form->installEventFilter(this);
}

Arrivals::~Arrivals() = default;

void Arrivals::follow(Mirror& m)
{
    if (m.mirror->fd() >= 0) {
        m.notifier = new QSocketNotifier(m.mirror->fd(), QSocketNotifier::Read, this);
        connect(m.notifier, &QSocketNotifier::activated, this, [this, &m] { read(m); });
    }
    m.timer = new QTimer(this);
    m.timer->setSingleShot(true);
    connect(m.timer, &QTimer::timeout, this, [this, &m] { read(m); });
    armTimer(m);  // a polled folder (no inotify) has its first look due already
}

void Arrivals::read(Mirror& m)
{
    // One buffer of events a turn: a flood of thousands is read between the window's other events.
    store::MirrorChanges changes = m.mirror->process(store::FolderMirror::Clock::now(), 1);
    armTimer(m);
    if (!changes.empty())
        apply(m, changes);
}

void Arrivals::armTimer(Mirror& m)
{
    const auto next = m.mirror->nextDeadline();
    if (!next) {
        m.timer->stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - store::FolderMirror::Clock::now());
    m.timer->start(std::max<int>(0, static_cast<int>(wait.count())));
}

void Arrivals::defer(Mirror& m, store::MirrorChanges changes)
{
    merge(m.deferred, std::move(changes));
}

void Arrivals::apply(Mirror& m, const store::MirrorChanges& changes)
{
    // A command with a dialog up (the progress of a keep/delete batch, say) finishes first: the
    // list must not change under it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        defer(m, changes);
        if (deferredFor_ != modal) {
            deferredFor_ = modal;
            modal->installEventFilter(this);
            connect(modal, &QObject::destroyed, this, &Arrivals::flushDeferred);
        }
        return;
    }
    if (&m == &received_)
        applyReceived(changes);
    else
        applySaved(changes);
    emit folderChanged(changes.gone, !changes.added.empty() || !changes.replaced.empty() || !changes.completed.empty());
    emit shown();
}

void Arrivals::applyReceived(const store::MirrorChanges& changes)
{
    // Gone first: a name moved in over an earlier arrival is gone and there again.
    if (!changes.gone.empty()) {
        const std::unordered_set<std::string> gone(changes.gone.begin(), changes.gone.end());
        std::erase_if(pending_, [&gone](const std::string& p) { return gone.count(p) > 0; });
        if (form_->receivedMode())
            form_->removeFiles(changes.gone);
    }
    std::vector<store::MirrorEntry> arrived = changes.added;
    arrived.insert(arrived.end(), changes.replaced.begin(), changes.replaced.end());
    std::vector<const store::MirrorEntry*> fresh;
    if (form_->receivedMode()) {
        // A replaced file whose line is listed is read again there; one that is not joins.
        for (const std::size_t i : form_->addArrivals(arrived))
            fresh.push_back(&arrived[i]);
        form_->rereadFiles(changes.completed);
    } else {
        for (const store::MirrorEntry& e : arrived) {
            std::erase(pending_, e.path);
            pending_.push_back(e.path);
            fresh.push_back(&e);
        }
    }
    updateLook();
    ui::ArrivalAnnouncer::of(form_).heard(fresh);
    if (!fresh.empty() && !form_->isActiveWindow()) {
        unseen_ += static_cast<int>(fresh.size());
        if (Settings().notifyArrivals)
            tellDesktop(*fresh.back(), form_->receivedMode() ? unseen_ : pendingCount());
    }
}

void Arrivals::applySaved(const store::MirrorChanges& changes)
{
    // The saved list shows one category of this folder; new saved comments join it at the next
    // switch of category, as the keep/delete commands reload it.
    if (form_->receivedMode())
        return;
    form_->removeFiles(changes.gone);
    std::vector<store::MirrorEntry> again = changes.replaced;
    again.insert(again.end(), changes.completed.begin(), changes.completed.end());
    form_->rereadFiles(again);
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

void Arrivals::updateLook() { form_->showWaiting(form_->receivedMode() ? 0 : pendingCount()); }

void Arrivals::restoreUserLayout() { form_->hideArrivalsCommand(); }

void Arrivals::tellDesktop(const store::MirrorEntry& newest, int count)
{
    const QString summary = QStringLiteral("新着コメント %1件").arg(count);
    const QString body = platform::fromCp932(newest.listText).simplified();
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
    for (Mirror* m : {&saved_, &received_}) {
        store::MirrorChanges changes;
        std::swap(changes, m->deferred);
        if (!changes.empty())
            apply(*m, changes);
    }
}
