// TForm1: the commands. Keeping and deleting, the retention settings, printing, colours and the
// web pages.

#include "ui/ComMain.h"

#include "docking/TToolbarButton.h"
#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/ErrorText.h"
#include "platform/ShellFileOperation.h"
#include "platform/qt/Cp932.h"
#include "platform/qt/WinHelp.h"
#include "settings/SettingsRecord.h"
#include "host/HostLibrary.h"
#include "store/FileBatch.h"
#include "store/FolderMirror.h"
#include "store/Loader.h"
#include "store/Purge.h"
#include "store/UserId.h"
#include "ui/ColorValue.h"
#include "ui/ComColor.h"
#include "ui/ComPrin.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/FrameworkError.h"
#include "ui/PlainText.h"
#include "ui/RowRuns.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "ui/UpDown.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>

#include <algorithm>
#include <future>

using settings::Settings;

void TForm1::ToolbarButton4Click() { runBatch(BatchAction::Delete); }

void TForm1::ToolbarButton5Click() { runBatch(BatchAction::KeepSelected); }

void TForm1::ToolbarButton6Click() { runBatch(BatchAction::KeepAll); }

void TForm1::runBatch(BatchAction action)
{
    if (ListBox1->count() == 0)
        return;
    const QSignalBlocker block(ListBox1);
    if (action == BatchAction::KeepAll) {
        ListBox1->selectAll();  // one selection range; item by item made 2,000 of them
        setCaret(0);
    }
    const int caret = ListBox1->currentRow();
    if (caret < 0)
        return;
    // The caret's line is the choice only when no line is chosen: a caret moved off the chosen
    // lines (Ctrl+arrows) would otherwise take its line along unasked.
    if (!ListBox1->selectionModel()->hasSelection())
        ListBox1->setRowSelected(caret, true);

    // A second click on the delete button does nothing until this command has finished.
    disconnect(deleteButtonConnection_);
    struct Reattach {
        TForm1* form;
        ~Reattach() { form->connectDeleteButton(); }
    } reattach{this};

    // The selected rows, read once: asking item by item walks every selection range each time.
    std::vector<bool> selected(static_cast<size_t>(ListBox1->count()), false);
    for (const QModelIndex& index : ListBox1->selectionModel()->selectedIndexes())
        selected[static_cast<size_t>(index.row())] = true;

    // Only the file whose line the user saw: a line whose name now holds another file (or more of
    // it) is left out of the batch, read again and told of. A file gone altogether is left to the
    // batch, which reports it with the others that failed.
    std::vector<bool> leaves = selected;
    std::vector<store::MirrorEntry> changed;
    for (size_t i = 0; i < selected.size(); ++i) {
        if (!selected[i])
            continue;
        const auto now = store::identityOf(pathList_[i]);
        if (!now || *now == lineFiles_[i].identity)
            continue;
        store::SilentSink silent;
        if (std::optional<store::MirrorEntry> entry =
                store::FolderMirror::read(pathList_[i], lineFiles_[i].category, silent)) {
            leaves[i] = false;
            selected[i] = false;
            ListBox1->setRowSelected(static_cast<int>(i), false);
            changed.push_back(std::move(*entry));
        }
    }

    const auto command = action == BatchAction::Delete ? store::BatchCommand::Delete : store::BatchCommand::Save;
    store::FileBatch batch(command, dirs_.saved);
    for (size_t i = 0; i < selected.size(); ++i) {
        if (selected[i])
            batch.add(pathList_[i]);
    }
    platform::FileOpResult result =
        batch.empty() ? platform::FileOpResult{} : runFileOperation([&batch] { return batch.run(); });
    // A comment the receiver is still writing stays in RecvData, and so in the list: one message.
    const auto stillWritten = std::partition(result.failures.begin(), result.failures.end(), [](const auto& f) {
        return f.error != platform::kErrorStillWritten;
    });
    for (auto f = stillWritten; f != result.failures.end(); ++f)
        if (const auto at = std::find(pathList_.begin(), pathList_.end(), f->source); at != pathList_.end())
            leaves[static_cast<size_t>(at - pathList_.begin())] = false;
    const auto keptBack = static_cast<int>(result.failures.end() - stillWritten);
    result.failures.erase(stillWritten, result.failures.end());

    rereadFiles(changed);  // they stay listed, read again, for the user to look at first
    if (std::find(leaves.begin(), leaves.end(), true) != leaves.end()) {
        const ui::RowRemoval removal = ui::removeSelectedRows(leaves, caret);
        for (const ui::RowRun& run : removal.runs)
            eraseLines(run.start, run.count);
        setCaret(removal.caret);
        if (ListBox1->count() > 0)
            ListBox1->setRowSelected(ListBox1->currentRow(), true);
    }
    ListBox1->repaint();

    if (!receivedMode_)
        store::LoadCategory(table_, dirs_, false, CurrentCategory(), Settings(), *sink_);
    if (ListBox1->count() > 0) {
        ListBox1Click();
        countBeyondList();
        updateCaption();
    } else {
        Memo1->clear();
        shownPath_.clear();
        if (receivedMode_)
            relistReceived();
    }
    ListBox1->repaint();
    if (keptBack > 0)
        host::ShowHostMessage(platform::cp932("警告"),
                              platform::toCp932(QStringLiteral("受信中のコメント %1 件は保存せずに残しました。").arg(keptBack)),
                              platform::cp932("書き込みが終わってから、もう一度保存してください。"), 0, 1, 0);
    if (!changed.empty()) {
        host::ShowHostMessage(
            platform::cp932("警告"),
            platform::toCp932(QStringLiteral("%1件のコメントは一覧に表示した後でファイルが変わったため、処理しませんでした")
                                  .arg(changed.size())),
            platform::cp932("変わったコメントは読み直しました。確かめてから、もう一度行ってください。"), 0, 0, 0);
    }
    if (!result.failures.empty())
        reportBatchFailures(result);
}

platform::FileOpResult TForm1::runFileOperation(const std::function<platform::FileOpResult()>& op)
{
    // The batch runs beside the GUI thread so that a long one can show its progress; the dialog is
    // modal, so no other command can change the list meanwhile.
    auto pending = std::async(std::launch::async, op);
    if (pending.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready)
        return pending.get();
    QProgressDialog progress(QStringLiteral("コメントファイルを処理しています..."), QString(), 0, 0, this);
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    while (pending.wait_for(std::chrono::milliseconds(30)) != std::future_status::ready)
        QApplication::processEvents(QEventLoop::AllEvents, 30);
    return pending.get();
}

void TForm1::reportBatchFailures(const platform::FileOpResult& result)
{
    if (onBatchFailures) {
        onBatchFailures(result);
        return;
    }
    // The first few with the reason in the text; every one, with the system's words, in the details.
    QStringList shown;
    QStringList lines;
    for (const platform::FileOpFailure& f : result.failures) {
        QString line = platform::displayFileName(f.source);
        if (!f.target.empty())
            line += QStringLiteral(" → ") + platform::displayFileName(f.target);
        const QString reason = QString::fromStdString(platform::errorReason(f.error));
        if (shown.size() < 5)
            shown << line + QStringLiteral(": ") + reason;
        lines << line + QStringLiteral(": ") + reason + QStringLiteral(" (") +
                     QString::fromStdString(platform::errorDetail(f.error)) + QLatin1Char(')');
    }
    ui::showFrameworkError(
        this,
        QStringLiteral("%1 個のファイルを処理できませんでした。").arg(result.failures.size()) + QStringLiteral("\n\n") +
            shown.join(QLatin1Char('\n')),
        lines.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------------------------------------
// Retention settings

void TForm1::N7Click()
{
    TForm4 dialog(this);
    dialog.onHelp = [] { platform::WinHelp(platform::HELP_CONTEXT, 8); };
    settings::SettingsRecord& s = Settings();
    for (int i = 0; i < store::kCategoryCount; ++i) {
        // The spin control holds a 16-bit position.
        dialog.UpDown[i]->setPosition(static_cast<std::int16_t>(s.maxCmntInfo[i]));
        dialog.CheckBox[i]->setChecked(s.delCmntInfo[i]);
    }
    for (int i = 0; i < store::kCategoryCount; ++i) {
        if (!dialog.CheckBox[i]->isChecked())
            dialog.CheckBox1Click(i);
    }
    const bool ok = onRetentionDialog ? onRetentionDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!ok)
        return;
    try {
        for (int i = 0; i < store::kCategoryCount; ++i)
            s.maxCmntInfo[i] = ui::toInteger(dialog.Edit[i]->text());
    } catch (const ui::ConvertError& e) {
        ui::showFrameworkError(this, e.message());
        return;
    }
    for (int i = 0; i < store::kCategoryCount; ++i)
        s.delCmntInfo[i] = dialog.CheckBox[i]->isChecked();
    store::PurgeCommentFiles(dirs_, s.maxCmntInfo, s.delCmntInfo);

    if (!receivedMode_) {
        WeekEndBtClick(categoryButton(CurrentCategory()));
        return;
    }
    // In received mode the list must keep holding received comments only (a later save would
    // otherwise move saved files onto themselves): reload them as the purge left them.
    store::LoadCategories(table_, dirs_, true, s, *sink_);
    fillReceivedList();
    if (ListBox1->count() == 0) {
        Memo1->clear();
        switchToSavedMode();
    }
}

// ---------------------------------------------------------------------------------------------
// Printing, colours, web pages

void TForm1::ToolbarButton3Click()
{
    viewLoader_->finish();  // the whole comment is printed
    // The stored colour, not the one on screen: the defaults print black on white paper whatever
    // the desktop's theme.
    const QColor textColor = ui::colorFromValue(Settings().clMainFont);
    ui::printComment(this, viewLoader_->text(), Memo1->font(), textColor, Settings());
}

void TForm1::NColorClick()
{
    if (!ui::runColorDialog(this, Settings()))
        return;
    applyColors();
    if (ListBox1->count() > 0)
        ShowSelectedComment();
}

void TForm1::WarningPlay() { ui::WarningPlay(this, Settings()); }

std::string TForm1::ReadUserId() const { return store::ReadUserId(host::Host().dataDir); }

void TForm1::tesseraPageGoClick(QObject* sender)
{
    const ui::WebPage page = sender == tesseraPageGo ? ui::WebPage::Tessera : ui::WebPage::Home;
    ui::jumpToWebPage(page, host::Host().dataDir, this, Settings());
}
