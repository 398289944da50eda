// TForm1: the list and the view. Which lines are listed in which mode, the caret, and the
// comment shown for it.

#include "ui/ComMain.h"

#include "docking/TToolbarButton.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "store/FileBatch.h"
#include "store/Loader.h"
#include "ui/ColorValue.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/FrameworkError.h"
#include "ui/RowRuns.h"
#include "ui/SearchPanel.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

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

void TForm1::refreshLine(int row, std::string listText) { ListBox1->lines()->replaceLine(row, std::move(listText)); }

void TForm1::addArrivals(int row, const std::vector<store::TCmntInfo>& entries)
{
    const QSignalBlocker block(ListBox1);  // the caret keeps its file: nothing to show again
    std::vector<std::string> texts;
    texts.reserve(entries.size());
    std::vector<std::string> paths;
    paths.reserve(entries.size());
    for (const store::TCmntInfo& e : entries) {
        texts.push_back(e.listText);
        paths.push_back(e.path);
    }
    ListBox1->lines()->insertLines(row, std::move(texts));
    pathList_.insert(pathList_.begin() + row, paths.begin(), paths.end());
}

void TForm1::removeVanished(const std::vector<int>& rows)
{
    if (rows.empty())
        return;
    const int caret = ListBox1->currentRow();
    bool caretGone = false;
    {
        const QSignalBlocker block(ListBox1);
        for (const ui::RowRun& run : ui::runsFromLast(rows)) {
            caretGone = caretGone || (caret >= run.start && caret < run.start + run.count);
            pathList_.erase(pathList_.begin() + run.start, pathList_.begin() + run.start + run.count);
            ListBox1->model()->removeRows(run.start, run.count);
        }
    }
    const int count = ListBox1->count();
    if (count == 0) {
        Memo1->clear();
        if (receivedMode_)
            switchToSavedMode();
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
    for (int n = 1; n <= table_.count(category); ++n) {
        const store::TCmntInfo& entry = table_.entry(category, n);
        texts.push_back(entry.listText);
        pathList_.push_back(entry.path);
    }
    ListBox1->lines()->appendLines(std::move(texts));
}

void TForm1::fillReceivedList()
{
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    pathList_.clear();
    for (int k = 0; k < store::kCategoryCount; ++k)
        fillFromBlock(k);
    if (ListBox1->count() > 0) {
        setCaret(0);
        ListBox1->setRowSelected(0, true);
    }
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
    {
        // As a click on the line: it alone is chosen, so 保存 and 削除 act on what the view shows.
        const QSignalBlocker block(ListBox1);
        const QModelIndex index = ListBox1->model()->index(row, 0);
        ListBox1->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ListBox1->scrollTo(index);
    }
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
    case ui::CommentViewLoader::Result::Shown: break;
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
    return true;
}

void TForm1::switchToSavedMode()
{
    receivedMode_ = false;
    enableByMode();
    store::LoadCategories(table_, dirs_, false, Settings(), *sink_);
    store::purgeBeyondLimits(table_, Settings());
    for (TToolbarButton* b : categoryButtons_) {
        if (b->down()) {
            WeekEndBtClick(b);
            break;
        }
    }
}
