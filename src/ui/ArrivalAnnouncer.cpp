#include "ui/ArrivalAnnouncer.h"

#include "platform/qt/Cp932.h"
#include "store/ListText.h"
#include "store/MessageSink.h"
#include "ui/Announcer.h"

#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

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

void ArrivalAnnouncer::heard(const std::vector<store::Arrival>& fresh)
{
    // An inactive window tells the desktop instead.
    if (fresh.empty() || !window_->isActiveWindow())
        return;
    count_ += static_cast<int>(fresh.size());
    newest_ = fresh.back();
    quiet_->start();
}

void ArrivalAnnouncer::speak()
{
    if (!newest_)
        return;
    std::string line;
    store::SilentSink silent;
    // Not blocking: a pipe under a comment's name must not hang the window.
    if (const int fd = ::open(newest_->path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); fd >= 0) {
        store::ReadListText(newest_->category, newest_->path, fd, line, silent);
        ::close(fd);
    }
    announcer_->say(QStringLiteral("新着コメント %1件 %2").arg(count_).arg(platform::fromCp932(line).simplified()));
    count_ = 0;
    newest_.reset();
}

}  // namespace ui
