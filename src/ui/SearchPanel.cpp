#include "ui/SearchPanel.h"

#include "platform/CommentFile.h"
#include "platform/FileTime.h"
#include "platform/qt/FrameExtents.h"
#include "store/FoldTables.h"
#include "ui/Announcer.h"
#include "ui/ClearButtonGlyph.h"
#include "ui/CommentViewLoader.h"
#include "ui/PlainText.h"
#include "ui/SearchPanelPlacement.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace {

// A search starts this soon after a key (a search in progress is abandoned at once): long enough
// to take the characters of one input method commit together, short enough that the results of
// 2,000 comments stand within 150 ms of the last key.
constexpr int kTypingPauseMs = 10;
// The folders' changes come in bursts (a save-all, a flood of arrivals): one search again after
// the burst, not one per change.
constexpr int kFollowPauseMs = 300;
// A search in progress hands over what it has found this often, so a huge comment among the
// files never leaves the list empty for long.
constexpr auto kBatchInterval = std::chrono::milliseconds(50);
// More marks than this make every repaint of the view slow; the first ones are what the reader
// looks at.
constexpr std::size_t kMaxMarks = 1000;
// Marks set while the comment still loads: enough for the screenful around the first.
constexpr std::size_t kMarksWhileLoading = 20;
// Bytes of a comment searched for marks at a time.
constexpr std::size_t kHighlightBlock = std::size_t{256} * 1024;

bool newerFirst(const store::SearchHit& a, const store::SearchHit& b) { return a.time > b.time; }

// Result lines are as wide as the list, the end of a long one cut off with "…", instead of
// making the list wider than its window behind a horizontal scroll bar.
class ViewWideLines : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {1, QStyledItemDelegate::sizeHint(option, index).height()};
    }
};

}  // namespace

struct SearchPanel::Batch {
    unsigned generation = 0;
    std::vector<store::SearchHit> hits;  // newest first
    QStringList lines;                   // the result lines, made beside the GUI thread
    bool done = false;
    store::SearchOutcome outcome;
    QString error;  // why the search could not run (done is set too)
};

// One thread beside the GUI for both the folder search and the marking of the shown comment.
// A job is abandoned as soon as a newer one of its kind is asked for.
class SearchPanel::Worker {
public:
    explicit Worker(SearchPanel* panel) : panel_(panel), thread_([this] { run(); }) {}
    ~Worker()
    {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    // Stops the search in progress unless it is `generation`.
    void cancelSearchesBefore(unsigned generation) { latestSearch_ = generation; }
    void viewChanged(unsigned viewGeneration) { latestView_ = viewGeneration; }

    // The query is folded here too: its first folding builds ICU's tables, which takes a while.
    void search(unsigned generation, Scope scope, std::u16string query)
    {
        latestSearch_ = generation;
        {
            const std::lock_guard lock(mutex_);
            searchJob_ = Job{generation, std::move(scope), std::move(query), {}};
        }
        wake_.notify_all();
    }

    void highlight(unsigned viewGeneration, std::string path, std::u16string query)
    {
        latestView_ = viewGeneration;
        {
            const std::lock_guard lock(mutex_);
            highlightJob_ = Job{viewGeneration, {}, std::move(query), std::move(path)};
        }
        wake_.notify_all();
    }

private:
    struct Job {
        unsigned generation = 0;
        Scope scope;
        std::u16string query;
        std::string path;
    };

    void run()
    {
        for (;;) {
            Job job;
            bool isSearch = false;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || searchJob_ || highlightJob_; });
                if (stop_)
                    return;
                // Marking the shown comment is what the user waits for after activating a result.
                isSearch = !highlightJob_;
                std::optional<Job>& next = isSearch ? searchJob_ : highlightJob_;
                job = std::move(*next);
                next.reset();
            }
            // Nothing may escape this thread: a missing or damaged ICU is told in the panel.
            QString error;
            try {
                if (isSearch)
                    runSearch(job);
                else
                    runHighlight(job);
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            } catch (...) {
                error = QStringLiteral("unknown error");
            }
            if (!error.isEmpty())
                fail(isSearch ? job.generation : latestSearch_.load(), error);
        }
    }

    void fail(unsigned generation, const QString& error)
    {
        Batch batch;
        batch.generation = generation;
        batch.done = true;
        batch.error = error;
        QMetaObject::invokeMethod(
            panel_, [panel = panel_, b = std::move(batch)] { panel->receive(b); }, Qt::QueuedConnection);
    }

    void runSearch(const Job& job)
    {
        auto cancelled = [&] { return stop_ || latestSearch_ != job.generation; };
        Batch batch;
        batch.generation = job.generation;
        auto last = std::chrono::steady_clock::now();
        auto post = [&] {
            std::stable_sort(batch.hits.begin(), batch.hits.end(), newerFirst);
            for (const store::SearchHit& hit : batch.hits)
                batch.lines << lineFor(hit);
            QMetaObject::invokeMethod(
                panel_, [panel = panel_, b = batch] { panel->receive(b); }, Qt::QueuedConnection);
            batch.hits.clear();
            batch.lines.clear();
            last = std::chrono::steady_clock::now();
        };
        batch.outcome = store::searchFolder(
            job.scope.dirs, job.scope.receivedMode, store::SearchQuery(job.query),
            [&](const store::SearchHit& hit) {
                batch.hits.push_back(hit);
                if (std::chrono::steady_clock::now() - last >= kBatchInterval)
                    post();
            },
            cancelled);
        if (batch.outcome.cancelled)
            return;
        batch.done = true;
        post();
    }

    // The file is read and searched a block at a time, so marking a 100 MB comment needs no copy
    // of it; the search stops at the marks the view takes, and goes on decoding only to learn the
    // text's length.
    void runHighlight(const Job& job)
    {
        auto cancelled = [&] { return stop_ || latestView_ != job.generation; };
        // Without blocking, and only an ordinary file: a pipe under a comment's name never ends.
        const int fd = platform::openCommentFile(job.path);
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr, std::fclose);
        if (!file) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        const store::SearchQuery query(job.query);
        // The most text one occurrence may cover, kept from one block for the next.
        const std::size_t reach = std::max<std::size_t>(1024, 8 * job.query.size());
        constexpr std::size_t kContext = 16;  // before a block, for whole-character matching
        std::string bytes(kHighlightBlock, '\0');
        std::size_t leftover = 0;  // a lead byte at the end of the last block
        std::u16string window;     // the text from `base` on, line ends as the view has them
        std::size_t base = 0;
        std::size_t acceptFrom = 0;  // marks found before this position are taken
        bool afterCr = false;
        std::vector<store::TextRange> ranges;
        for (bool last = false; !last;) {
            if (cancelled())
                return;
            const std::size_t got = std::fread(bytes.data() + leftover, 1, bytes.size() - leftover, file.get());
            if (std::ferror(file.get()))
                return;
            const std::size_t n = leftover + got;
            last = std::feof(file.get()) != 0;
            std::u16string text;
            leftover = store::fold::decodeInto(std::string_view(bytes.data(), n), last, text);
            if (leftover > 0)
                bytes[0] = bytes[n - leftover];
            // Each line end one LF, as the view has it.
            std::size_t out = window.size();
            window.resize(out + text.size());
            for (const char16_t c : text) {
                if (c == u'\n' && afterCr) {
                    afterCr = false;
                    continue;
                }
                afterCr = c == u'\r';
                window[out++] = afterCr ? u'\n' : c;
            }
            window.resize(out);
            if (ranges.size() >= kMaxMarks) {
                base += window.size();
                window.clear();
                continue;
            }
            // An occurrence starting near the end may go on in the next block: it is found there.
            const std::size_t limit = last ? window.size() : window.size() - std::min(window.size(), reach);
            for (const store::TextRange& r : store::findOccurrences(query, window, cancelled)) {
                if (r.begin >= limit || ranges.size() >= kMaxMarks)
                    break;
                if (base + r.begin < acceptFrom)
                    continue;
                ranges.push_back({base + r.begin, base + r.end});
                acceptFrom = base + r.end;
            }
            acceptFrom = std::max(acceptFrom, base + limit);
            const std::size_t keepFrom = limit > kContext ? limit - kContext : 0;
            window.erase(0, keepFrom);
            base += keepFrom;
        }
        if (cancelled())
            return;
        const std::size_t length = base + window.size();
        QMetaObject::invokeMethod(
            panel_,
            [panel = panel_, g = job.generation, length, r = std::move(ranges)] {
                panel->applyHighlight(g, r, length);
            },
            Qt::QueuedConnection);
    }

    SearchPanel* panel_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> searchJob_, highlightJob_;
    std::atomic<unsigned> latestSearch_{0}, latestView_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: it starts when everything above exists
};

SearchPanel::SearchPanel(QWidget* owner, QPlainTextEdit* view)
    : QWidget(owner, Qt::Tool), view_(view), announcer_(new ui::Announcer(this)), delay_(new QTimer(this))
{
    setObjectName(QStringLiteral("SearchPanel"));
    setWindowTitle(QStringLiteral("コメントの検索"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("検索する語句(&S):"), this);
    Edit = new QLineEdit(this);
    Edit->setObjectName(QStringLiteral("SearchEdit"));
    Edit->setPlaceholderText(QStringLiteral("空白で区切った語句をすべて含むコメントを探します"));
    Edit->setClearButtonEnabled(true);
    Edit->setAccessibleName(QStringLiteral("検索する語句"));
    if (auto* clear = Edit->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) {
        clear->setText(QStringLiteral("語句を消す"));
        clear->setToolTip(clear->text());
    }
    ui::keepClearButtonLegible(Edit);
    caption->setBuddy(Edit);
    Results = new QListWidget(this);
    Results->setObjectName(QStringLiteral("SearchResults"));
    Results->setAccessibleName(QStringLiteral("検索結果"));
    Results->setUniformItemSizes(true);
    Results->setItemDelegate(new ViewWideLines(Results));
    Results->setTextElideMode(Qt::ElideRight);
    Results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("SearchStatus"));
    Status->setTextFormat(Qt::PlainText);  // a reason may quote a file name
    // Left without a name of its own, the label is named by its text, and each new count reaches a
    // screen reader as a change of that name.
    Status->setAccessibleDescription(QStringLiteral("検索の状況"));
    layout->addWidget(caption);
    layout->addWidget(Edit);
    layout->addWidget(Results, 1);
    layout->addWidget(Status);
    resize(560, 360);

    follow_ = new QTimer(this);
    follow_->setSingleShot(true);
    follow_->setInterval(kFollowPauseMs);
    connect(follow_, &QTimer::timeout, this, &SearchPanel::refresh);
    delay_->setSingleShot(true);
    delay_->setInterval(kTypingPauseMs);
    connect(delay_, &QTimer::timeout, this, &SearchPanel::startSearch);
    connect(Edit, &QLineEdit::textChanged, this, &SearchPanel::textEdited);
    connect(Edit, &QLineEdit::returnPressed, this,
            [this] { activate(Results->currentItem() ? Results->currentItem() : Results->item(0)); });
    connect(Results, &QListWidget::itemActivated, this, &SearchPanel::activate);
    connect(view_, &QPlainTextEdit::textChanged, this, [this] {
        // The rest of the comment on show coming in keeps its marks.
        if (const auto* loader = ui::CommentViewLoader::of(view_); loader && loader->appending())
            return;
        // Another comment is shown: the marks belonged to the previous one.
        pendingMarks_.reset();
        marksShown_ = false;
        if (worker_)
            worker_->viewChanged(++viewGeneration_);
        clearHighlight();
    });
    if (auto* loader = ui::CommentViewLoader::of(view_))
        connect(loader, &ui::CommentViewLoader::loaded, this, [this] {
            if (pendingMarks_) {
                const PendingMarks marks = std::move(*pendingMarks_);
                applyHighlight(marks.viewGeneration, marks.ranges, marks.length);
            }
        });
    worker_ = std::make_unique<Worker>(this);
}

SearchPanel::~SearchPanel()
{
    worker_.reset();  // joined before anything it posts to goes
}

void SearchPanel::showFor(const QFont& listFont)
{
    Results->setFont(listFont);
    Edit->setFont(listFont);
    if (!placed_ && parentWidget()) {
        const QWidget* owner = parentWidget();
        const QScreen* screen = owner->screen();
        const QRect room = screen ? screen->availableGeometry() : QRect();
        // The window manager's frame counts: beside the owner's frame, inside the view.
        const QMargins frame = platform::frameExtentsBeforeShow(this);
        const QRect view(view_->mapToGlobal(QPoint(0, 0)), view_->size());
        const QSize outer = size().grownBy(frame);
        const QRect at = ui::placeSearchPanel(owner->frameGeometry(), view, room, outer);
        if (at.size() != outer)
            resize(at.size().shrunkBy(frame));
        // The native window exists now (the frame was asked for it): a move places the client.
        move(at.topLeft() + QPoint(frame.left(), frame.top()));
        placed_ = true;
    }
    if (stale_) {
        stale_ = false;
        follow_->start();
    }
    show();
    raise();
    activateWindow();
    Edit->setFocus();
    Edit->selectAll();
}

void SearchPanel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // The first Esc empties the field, the next closes the panel.
        if (Edit->text().isEmpty()) {
            close();
            return;
        }
        Edit->clear();
        Edit->setFocus();
        return;
    }
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && Edit->hasFocus() && Results->count() > 0) {
        Results->setFocus();
        if (!Results->currentItem())
            Results->setCurrentRow(0);
        return;
    }
    QWidget::keyPressEvent(event);
}

void SearchPanel::textEdited()
{
    // What runs now answers a text that is gone.
    worker_->cancelSearchesBefore(++generation_);
    delay_->start();
}

void SearchPanel::startSearch()
{
    query_ = Edit->text().toStdU16String();
    const bool blank = store::isBlankQuery(query_);
    ++generation_;
    refreshing_ = false;
    follow_->stop();
    hits_.clear();
    Results->clear();
    if (blank || !scope) {
        worker_->cancelSearchesBefore(generation_);
        Status->clear();
        emit searchFinished();
        return;
    }
    Status->setText(QStringLiteral("検索中..."));
    worker_->search(generation_, scope(), query_);
}

QString SearchPanel::lineFor(const store::SearchHit& hit)
{
    const platform::LocalDateTime t = platform::decodeDateTime(hit.time);
    return QStringLiteral("%1  %2/%3/%4 %5:%6  %7")
        .arg(QString::fromUtf8(store::categoryInfo(hit.category).labelUtf8))
        .arg(t.year, 4, 10, QLatin1Char('0'))
        .arg(t.month, 2, 10, QLatin1Char('0'))
        .arg(t.day, 2, 10, QLatin1Char('0'))
        .arg(t.hour, 2, 10, QLatin1Char('0'))
        .arg(t.minute, 2, 10, QLatin1Char('0'))
        .arg(QString::fromStdU16String(store::decodeCp932(hit.listText)));
}

void SearchPanel::followFolder(const std::vector<std::string>& gone, bool more)
{
    if (query_.empty() || store::isBlankQuery(query_))
        return;
    if (!gone.empty()) {
        const std::unordered_set<std::string> paths(gone.begin(), gone.end());
        for (int row = static_cast<int>(hits_.size()) - 1; row >= 0; --row) {
            if (paths.count(hits_[static_cast<std::size_t>(row)].path)) {
                hits_.erase(hits_.begin() + row);
                delete Results->takeItem(row);
            }
        }
    }
    // The count, and comments that came, follow with the search run again; a closed panel's on
    // its next showing.
    if (!more && gone.empty())
        return;
    if (isVisible())
        follow_->start();
    else
        stale_ = true;
}

void SearchPanel::refresh()
{
    if (!scope || store::isBlankQuery(query_))
        return;
    ++generation_;
    refreshing_ = true;
    freshHits_.clear();
    freshLines_.clear();
    worker_->search(generation_, scope(), query_);
}

void SearchPanel::receive(const Batch& batch)
{
    if (batch.generation != generation_)
        return;
    if (!batch.error.isEmpty()) {
        refreshing_ = false;
        Status->setText(QStringLiteral("検索できません（%1）").arg(batch.error));
        emit searchFinished();
        return;
    }
    if (refreshing_) {
        // The results on show stay until the new ones are complete, and the reader's place with them.
        freshHits_.insert(freshHits_.end(), batch.hits.begin(), batch.hits.end());
        freshLines_ << batch.lines;
        if (!batch.done)
            return;
        refreshing_ = false;
        const QListWidgetItem* current = Results->currentItem();
        const std::string at = current ? hits_[static_cast<std::size_t>(Results->row(current))].path : std::string();
        std::vector<std::size_t> order(freshHits_.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [this](std::size_t a, std::size_t b) { return newerFirst(freshHits_[a], freshHits_[b]); });
        hits_.clear();
        QStringList lines;
        for (const std::size_t i : order) {
            hits_.push_back(std::move(freshHits_[i]));
            lines << freshLines_[static_cast<int>(i)];
        }
        freshHits_.clear();
        freshLines_.clear();
        {
            const QSignalBlocker block(Results);
            Results->clear();
            addLines(lines);
            for (std::size_t i = 0; i < hits_.size() && !at.empty(); ++i) {
                if (hits_[i].path == at) {
                    Results->setCurrentRow(static_cast<int>(i));
                    break;
                }
            }
        }
    } else if (hits_.empty() || batch.hits.empty() || !newerFirst(batch.hits.front(), hits_.back())) {
        hits_.insert(hits_.end(), batch.hits.begin(), batch.hits.end());
        addLines(batch.lines);
    } else {
        QStringList lines;
        for (int i = 0; i < Results->count(); ++i)
            lines << Results->item(i)->text();
        std::vector<std::size_t> order(hits_.size() + batch.hits.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        auto hitAt = [&](std::size_t i) -> const store::SearchHit& {
            return i < hits_.size() ? hits_[i] : batch.hits[i - hits_.size()];
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return newerFirst(hitAt(a), hitAt(b)); });
        std::vector<store::SearchHit> merged;
        QStringList mergedLines;
        for (const std::size_t i : order) {
            merged.push_back(hitAt(i));
            mergedLines << (i < hits_.size() ? lines[static_cast<int>(i)]
                                             : batch.lines[static_cast<int>(i - hits_.size())]);
        }
        hits_ = std::move(merged);
        Results->clear();
        addLines(mergedLines);
    }
    if (!batch.done)
        return;
    QString status = QStringLiteral("%1 件").arg(hits_.size());
    if (batch.outcome.unreadable > 0)
        status += QStringLiteral("（読めなかったファイル %1 件）").arg(batch.outcome.unreadable);
    Status->setText(status);
    announcer_->say(status);
    // A current result while the field has the keyboard would take a screen reader's focus into
    // the results, and typing would no longer be echoed; Down or Tab makes the first one current.
    if (!hits_.empty() && !Results->currentItem() && !Edit->hasFocus())
        Results->setCurrentRow(0);
    emit searchFinished();
}

void SearchPanel::addLines(const QStringList& lines)
{
    for (const QString& line : lines) {
        auto* item = new QListWidgetItem(line, Results);
        // An elided line is read whole by pointing at it or through a screen reader. A tooltip that
        // looks like markup is shown as rich text: a title such as "<h1>速報</h1>" stays text.
        item->setToolTip(ui::asRichText(line));
        item->setData(Qt::AccessibleTextRole, line);
    }
}

void SearchPanel::activate(QListWidgetItem* item)
{
    if (!item || !showComment)
        return;
    const int row = Results->row(item);
    if (row < 0 || row >= static_cast<int>(hits_.size()))
        return;
    const store::SearchHit hit = hits_[static_cast<std::size_t>(row)];
    if (!showComment(hit.category, hit.path)) {
        Status->setText(
            QStringLiteral("このコメントは一覧にありません（保存・削除されたか、表示する件数を超えています）"));
        return;
    }
    // Shown and marked already (the view has not changed since): its marks are brought into
    // sight again, without reading the comment a second time.
    if (markedView_ == viewGeneration_ && markedPath_ == hit.path && markedQuery_ == query_) {
        if (firstMark_ >= 0)
            bringIntoSight(firstMark_);
        emit highlighted();
        return;
    }
    markedPath_ = hit.path;
    markedQuery_ = query_;
    markedView_ = viewGeneration_;
    firstMark_ = -1;
    worker_->highlight(viewGeneration_, hit.path, query_);
}

void SearchPanel::applyHighlight(unsigned viewGeneration, const std::vector<store::TextRange>& ranges,
                                 std::size_t length)
{
    pendingMarks_.reset();
    if (viewGeneration != viewGeneration_)
        return;
    const ui::CommentViewLoader* loader = ui::CommentViewLoader::of(view_);
    const bool loading = loader && loader->loading();
    const qint64 shown = loader ? loader->textLength() : view_->document()->characterCount() - 1;
    // A decoding that disagrees with the view's would mark the wrong characters.
    if (!loading && static_cast<std::size_t>(shown) != length)
        return;
    auto at = [loader](std::size_t position, bool atEnd) {
        return loader ? loader->documentPosition(static_cast<qint64>(position), atEnd) : static_cast<int>(position);
    };
    QList<QTextEdit::ExtraSelection> marks;
    QTextCharFormat format;
    format.setBackground(QColor(255, 225, 60));
    format.setForeground(Qt::black);
    // While the comment loads, the first marks in what is shown (every mark slows each addition to
    // the view); all of them once it is there.
    const std::size_t limit = loading ? kMarksWhileLoading : kMaxMarks;
    for (std::size_t i = 0; i < ranges.size() && i < limit && ranges[i].end <= static_cast<std::size_t>(shown); ++i) {
        QTextCursor cursor(view_->document());
        cursor.setPosition(at(ranges[i].begin, false));
        cursor.setPosition(at(ranges[i].end, true), QTextCursor::KeepAnchor);
        marks.append({cursor, format});
    }
    if (loading)
        pendingMarks_ = PendingMarks{viewGeneration, ranges, length};
    view_->setExtraSelections(marks);
    if (!marks.isEmpty() && !marksShown_) {
        // The first occurrence in sight; the caret stays where the reader can copy from it.
        marksShown_ = true;
        firstMark_ = at(ranges.front().begin, false);
        bringIntoSight(firstMark_);
    }
    if (!loading)
        emit highlighted();
}

void SearchPanel::bringIntoSight(int position)
{
    QTextCursor cursor(view_->document());
    cursor.setPosition(position);
    view_->setTextCursor(cursor);
    view_->ensureCursorVisible();
    // Where the screen has no room beside the window the panel lies over the view's lower part:
    // the mark is scrolled up above it, as far as the text goes.
    if (!isVisible())
        return;
    const QWidget* viewport = view_->viewport();
    const QRect panel(viewport->mapFromGlobal(frameGeometry().topLeft()), frameGeometry().size());
    QScrollBar* bar = view_->verticalScrollBar();
    for (int step = 0; step < 10000 && view_->cursorRect().intersects(panel) && bar->value() < bar->maximum(); ++step)
        bar->setValue(bar->value() + 1);
}

void SearchPanel::clearHighlight()
{
    if (!view_->extraSelections().isEmpty())
        view_->setExtraSelections({});
}
