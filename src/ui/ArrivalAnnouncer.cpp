#include "ui/ArrivalAnnouncer.h"

#include "platform/qt/Cp932.h"
#include "ui/Announcer.h"

#include <QTimer>
#include <QWidget>

namespace ui {

namespace {
// A batch ends when nothing more has come for this long.
constexpr int kQuietMs = 400;
}  // namespace

ArrivalAnnouncer& ArrivalAnnouncer::of(QWidget* window)
{
    if (auto* made = window->findChild<ArrivalAnnouncer*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new ArrivalAnnouncer(window);
}

ArrivalAnnouncer::ArrivalAnnouncer(QWidget* window)
    : QObject(window), window_(window), announcer_(new Announcer(window)), quiet_(new QTimer(this))
{
    quiet_->setSingleShot(true);
    quiet_->setInterval(kQuietMs);
    connect(quiet_, &QTimer::timeout, this, &ArrivalAnnouncer::speak);
}

void ArrivalAnnouncer::heard(const std::vector<const store::MirrorEntry*>& fresh)
{
    // An inactive window tells the desktop instead.
    if (fresh.empty() || !window_->isActiveWindow())
        return;
    count_ += static_cast<int>(fresh.size());
    newest_ = fresh.back()->listText;
    quiet_->start();
}

void ArrivalAnnouncer::speak()
{
    if (count_ == 0)
        return;
    // The mirror read the list text when the file became whole; nothing is opened here.
    announcer_->say(QStringLiteral("新着コメント %1件 %2").arg(count_).arg(platform::fromCp932(newest_).simplified()));
    count_ = 0;
    newest_.clear();
}

}  // namespace ui
