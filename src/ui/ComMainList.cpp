// TForm1: the list and the view. Which lines are listed in which mode, the caret, and the
// comment shown for it.

#include "ui/ComMain.h"

#include "docking/TToolbarButton.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "platform/FileFind.h"
#include "platform/FileTime.h"
#include "store/FileBatch.h"
#include "store/FolderMirror.h"
#include "store/Loader.h"
#include "ui/Arrivals.h"
#include "ui/ColorValue.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/FrameworkError.h"
#include "ui/RowRuns.h"
#include "ui/SearchPanel.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

using docking::TToolbarButton;
using settings::Settings;

int TForm1::CurrentCategory() const
{
    int c = 0;
    for (int k = 0; k < store::kCategoryCount; ++k) {
        if (categoryButton(k)->down())
            c = k;
    }
    return c;
}

int TForm1::firstRowAfter(int category, double time, bool equalToo) const
{
    // The list runs by category, each newest first: the rows after the place sought form a tail.
    int lo = 0;
    int hi = static_cast<int>(lineFiles_.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const LineFile& f = lineFiles_[static_cast<size_t>(mid)];
        if (f.category > category || (f.category == category && (f.time < time || (equalToo && f.time == time))))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int TForm1::rowOfFile(const std::string& path) const
{
    const auto it = listed_.find(path);
    if (it == listed_.end())
        return -1;
    // Among the lines of its category and time, found by halving: a flood costs no walk of the list.
    const int category = store::categoryOfName(path.substr(path.find_last_of('/') + 1));
    const int count = static_cast<int>(pathList_.size());
    for (int row = firstRowAfter(category, it->second, true); row < count; ++row) {
        const LineFile& f = lineFiles_[static_cast<size_t>(row)];
        if (f.category != category || f.time != it->second)
            break;
        if (pathList_[static_cast<size_t>(row)] == path)
            return row;
    }
    const auto at = std::find(pathList_.begin(), pathList_.end(), path);
    return at == pathList_.end() ? -1 : static_cast<int>(at - pathList_.begin());
}

std::vector<std::size_t> TForm1::addArrivals(const std::vector<store::MirrorEntry>& entries)
{
    std::vector<std::size_t> listed;
    if (!receivedMode_ || entries.empty())
        return listed;
    std::unordered_set<std::string> here;
    std::vector<store::MirrorEntry> again;
    struct Join {
        int row;
        std::size_t index;
    };
    std::vector<Join> joins;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const store::MirrorEntry& e = entries[i];
        if (listed_.count(e.path) || !here.insert(e.path).second) {
            again.push_back(e);  // loaded with the others, perhaps before it was whole
            continue;
        }
        // Rows are of the list before this batch.
        joins.push_back({firstRowAfter(e.category, e.time, false), i});
        listed.push_back(i);
    }
    // Its category's block, newest first, after lines of the same time; those bound for one row
    // go in with one insertion, from the end, so that rows stay valid.
    std::stable_sort(joins.begin(), joins.end(), [&entries](const Join& x, const Join& y) {
        const store::MirrorEntry& a = entries[x.index];
        const store::MirrorEntry& b = entries[y.index];
        return std::tuple(x.row, a.category, -a.time) < std::tuple(y.row, b.category, -b.time);
    });
    const QSignalBlocker block(ListBox1);  // the caret keeps its file: nothing to show again
    for (std::size_t end = joins.size(); end > 0;) {
        std::size_t first = end - 1;
        while (first > 0 && joins[first - 1].row == joins[end - 1].row)
            --first;
        const int row = joins[first].row;
        std::vector<std::string> texts;
        std::vector<std::string> paths;
        std::vector<LineFile> files;
        for (std::size_t j = first; j < end; ++j) {
            const store::MirrorEntry& e = entries[joins[j].index];
            listed_.emplace(e.path, e.time);
            texts.push_back(e.listText);
            paths.push_back(e.path);
            files.push_back({e.identity, e.time, e.category});
        }
        ListBox1->lines()->insertLines(row, std::move(texts));
        pathList_.insert(pathList_.begin() + row, paths.begin(), paths.end());
        lineFiles_.insert(lineFiles_.begin() + row, files.begin(), files.end());
        end = first;
    }
    if (!again.empty())
        rereadFiles(again);
    return listed;
}

void TForm1::rereadFiles(const std::vector<store::MirrorEntry>& entries)
{
    bool caretsLine = false;
    const int caret = ListBox1->currentRow();
    for (const store::MirrorEntry& e : entries) {
        const int row = rowOfFile(e.path);
        if (row < 0)
            continue;
        // The line keeps its place (its time as listed orders the list); text and file are new.
        lineFiles_[static_cast<size_t>(row)].identity = e.identity;
        ListBox1->lines()->replaceLine(row, e.listText);
        caretsLine = caretsLine || row == caret;
    }
    if (caretsLine) {
        shownPath_.clear();  // another file, or more of it: the view shows it as it now is
        ListBox1Click();
    }
}

void TForm1::removeFiles(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    std::vector<int> rows;
    for (const std::string& path : paths) {
        if (const int row = rowOfFile(path); row >= 0)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    removeRows(rows);
}

void TForm1::eraseLines(int start, int count)
{
    for (int row = start; row < start + count; ++row)
        listed_.erase(pathList_[static_cast<size_t>(row)]);
    pathList_.erase(pathList_.begin() + start, pathList_.begin() + start + count);
    lineFiles_.erase(lineFiles_.begin() + start, lineFiles_.begin() + start + count);
    ListBox1->model()->removeRows(start, count);
}

void TForm1::removeRows(const std::vector<int>& rows)
{
    if (rows.empty())
        return;
    const int caret = ListBox1->currentRow();
    bool caretGone = false;
    {
        const QSignalBlocker block(ListBox1);
        for (const ui::RowRun& run : ui::runsFromLast(rows)) {
            caretGone = caretGone || (caret >= run.start && caret < run.start + run.count);
            eraseLines(run.start, run.count);
        }
    }
    const int count = ListBox1->count();
    if (count == 0) {
        // What the view shows is gone: it does not stand as if current.
        Memo1->clear();
        shownPath_.clear();
        if (receivedMode_)
            relistReceived();
        return;
    }
    if (!caretGone)
        return;
    // As after a delete: the line that took the caret's place, or the last, chosen and shown.
    const int below = static_cast<int>(std::count_if(rows.begin(), rows.end(), [caret](int r) { return r < caret; }));
    const int row = std::min(caret - below, count - 1);
    {
        const QSignalBlocker block(ListBox1);
        setCaret(row);
        ListBox1->setRowSelected(row, true);
    }
    ListBox1Click();
}

void TForm1::relistReceived()
{
    // Received mode ends only when the received folder is empty: the comments the list had no
    // room for, or that came since, are listed next.
    store::LoadCategories(table_, dirs_, true, Settings(), *sink_);
    if (table_.empty()) {
        Memo1->clear();
        shownPath_.clear();
        switchToSavedMode();
        return;
    }
    fillReceivedList();
}

void TForm1::countBeyondList()
{
    beyondList_ = 0;
    if (!receivedMode_)
        return;
    // The names alone first: no more comment names than lines is the common case, and then nothing
    // waits beyond the list (hidden and system files only lower the count). A look at every file
    // (its attributes) on the GUI thread was 4,000 system calls after a start with 2,000 comments.
    const std::vector<std::string> names = platform::namesIn(dirs_.received);
    if (std::count_if(names.begin(), names.end(), [](const std::string& n) { return store::categoryOfName(n) >= 0; }) <=
        ListBox1->count())
        return;
    // The files the loader would list, hidden and system files left out as it leaves them out.
    int listable = 0;
    for (const platform::FoundFile& f : platform::findFiles(dirs_.received, "*", 0, false)) {
        if (store::categoryOfName(f.name) >= 0)
            ++listable;
    }
    beyondList_ = std::max(0, listable - ListBox1->count());
}

void TForm1::setCaret(int row)
{
    // The caret moves without touching any item's selected flag.
    ListBox1->selectionModel()->setCurrentIndex(ListBox1->model()->index(row, 0), QItemSelectionModel::NoUpdate);
}

void TForm1::fillFromBlock(int category)
{
    // One insertion for the block: each insertion is a round of model, selection and view bookkeeping.
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(std::max(0, table_.count(category))));
    store::SilentSink silent;
    for (int n = 1; n <= table_.count(category); ++n) {
        const store::TCmntInfo& entry = table_.entry(category, n);
        // The file the line stands for, as it is when the line is made. One written since it was
        // loaded gives the line its text as it now is.
        struct stat st {};
        LineFile file{{}, entry.time, category};
        std::string text = entry.listText;
        if (::stat(entry.path.c_str(), &st) == 0) {
            file.identity = store::identityOf(st);
            if (platform::toLocalDateTime(platform::lastWriteTime(st)) != entry.time) {
                if (const auto now = store::FolderMirror::read(entry.path, category, silent)) {
                    file.identity = now->identity;
                    text = now->listText;
                }
            }
        }
        texts.push_back(std::move(text));
        listed_.emplace(entry.path, entry.time);
        pathList_.push_back(entry.path);
        lineFiles_.push_back(file);
    }
    ListBox1->lines()->appendLines(std::move(texts));
}

void TForm1::fillReceivedList()
{
    {
        const QSignalBlocker block(ListBox1);
        ListBox1->clear();
        pathList_.clear();
        lineFiles_.clear();
        listed_.clear();
        for (int k = 0; k < store::kCategoryCount; ++k)
            fillFromBlock(k);
        if (ListBox1->count() > 0) {
            setCaret(0);
            ListBox1->setRowSelected(0, true);
        }
    }
    countBeyondList();
    updateCaption();
    ListBox1Click();
}

void TForm1::WeekEndBtClick(QObject* sender)
{
    int c = -1;
    for (int k = 0; k < store::kCategoryCount; ++k) {
        if (sender == categoryButton(k) || sender == categoryItem(k)) {
            categoryButton(k)->setDown(true);
            categoryItem(k)->setChecked(true);
            c = k;
        }
    }
    if (c < 0) {
        c = Settings().dispMode;
        if (!store::isValidCategory(c))
            c = 0;
    }
    store::LoadCategory(table_, dirs_, false, c, Settings(), *sink_);
    {
        const QSignalBlocker block(ListBox1);
        ListBox1->clear();
        pathList_.clear();
        lineFiles_.clear();
        listed_.clear();
        fillFromBlock(c);
        if (ListBox1->count() > 0)
            setCaret(0);
    }
    ListBox1->repaint();
    ListBox1Click();
}

SearchPanel* TForm1::searchPanel()
{
    if (!searchPanel_) {
        searchPanel_ = new SearchPanel(this, Memo1);
        searchPanel_->scope = [this] { return SearchPanel::Scope{dirs_, receivedMode_}; };
        searchPanel_->showComment = [this](int k, const std::string& path) {
            if (!showComment(k, path))
                return false;
            // The reader goes on from the comment found: the list's keys move from comment to comment.
            activateWindow();
            ListBox1->setFocus();
            return true;
        };
        // The results follow the folders: comments kept, deleted, arrived or gone.
        if (arrivals_)
            connect(arrivals_, &Arrivals::folderChanged, searchPanel_, &SearchPanel::followFolder);
    }
    return searchPanel_;
}

bool TForm1::showComment(int category, const std::string& path)
{
    auto rowOf = [&] {
        const auto it = std::find(pathList_.begin(), pathList_.end(), path);
        return it == pathList_.end() ? -1 : static_cast<int>(it - pathList_.begin());
    };
    // The category buttons' own switch; the list is read afresh when the comment is not in it.
    if (!receivedMode_ && store::isValidCategory(category) && (category != CurrentCategory() || rowOf() < 0))
        WeekEndBtClick(categoryButton(category));
    const int row = rowOf();
    if (row < 0)
        return false;
    // The comment on show already: a second read of a huge one costs seconds and memory for nothing.
    const bool shown = row == ListBox1->currentRow() && shownPath_ == path &&
                       lineFiles_[static_cast<size_t>(row)].identity == shownIdentity_;
    {
        // As a click on the line: it alone is chosen, so 保存 and 削除 act on what the view shows.
        const QSignalBlocker block(ListBox1);
        const QModelIndex index = ListBox1->model()->index(row, 0);
        ListBox1->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ListBox1->scrollTo(index);
    }
    if (!shown)
        ListBox1Click();
    return true;
}

void TForm1::ListBox1Click()
{
    if (ListBox1->count() > 0)
        ShowSelectedComment();
}

void TForm1::ShowSelectedComment()
{
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= static_cast<int>(pathList_.size()))
        return;
    // Paths are file names of this platform: open them as they are.
    const std::string& path = pathList_[static_cast<size_t>(row)];
    // A large comment shows its beginning at once and the rest while the window stays usable.
    switch (viewLoader_->show(path)) {
    case ui::CommentViewLoader::Result::Shown:
        shownPath_ = path;
        shownIdentity_ = lineFiles_[static_cast<size_t>(row)].identity;
        break;
    case ui::CommentViewLoader::Result::OpenFailed:
        ui::showFrameworkError(this, QStringLiteral("ファイル %1 を開けません。").arg(platform::displayFileName(path)));
        break;
    case ui::CommentViewLoader::Result::ReadFailed:
        ui::showFrameworkError(this,
                               QStringLiteral("ファイル %1 を読み込めません。").arg(platform::displayFileName(path)));
        break;
    }
}

void TForm1::applyFontSize(int size)
{
    QFont viewFont = Memo1->font();
    viewFont.setPointSize(size);
    Memo1->setFont(viewFont);
    QFont listFont = ListBox1->font();
    listFont.setPointSize(size);
    ListBox1->setFont(listFont);
}

void TForm1::UpDown1Click()
{
    Edit2->setText(QString::number(UpDown1->position()));
    // The list takes its new size between a begin-update and an end-update of its items.
    ListBox1->setUpdatesEnabled(false);
    applyFontSize(UpDown1->position());
    ListBox1->setUpdatesEnabled(true);
    Memo1->repaint();
    ListBox1->hide();
    ListBox1->show();
}

void TForm1::Copy1Click() { viewLoader_->copy(); }

void TForm1::applyColors()
{
    const settings::SettingsRecord& s = Settings();
    ui::applyColors(ListBox1, s.clTitleBack, s.clTitleFont);
    ui::applyColors(Memo1, s.clMainBack, s.clMainFont);
}

bool TForm1::switchToReceivedMode()
{
    // As FormCreate decides at a start: received mode when the folder holds received comments.
    store::LoadCategories(table_, dirs_, true, Settings(), *sink_);
    if (table_.empty()) {
        store::LoadCategories(table_, dirs_, false, Settings(), *sink_);
        return false;
    }
    receivedMode_ = true;
    enableByMode();
    fillReceivedList();
    ListBox1->setFocus();  // as after a start
    if (searchPanel_)
        searchPanel_->followFolder({}, true);  // the search looks at the other folder now
    return true;
}

void TForm1::switchToSavedMode()
{
    receivedMode_ = false;
    enableByMode();
    store::LoadCategories(table_, dirs_, false, Settings(), *sink_);
    store::purgeBeyondLimits(table_, Settings());
    countBeyondList();
    updateCaption();
    for (TToolbarButton* b : categoryButtons_) {
        if (b->down()) {
            WeekEndBtClick(b);
            break;
        }
    }
    if (searchPanel_)
        searchPanel_->followFolder({}, true);
}
