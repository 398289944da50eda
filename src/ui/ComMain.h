#pragma once
// TForm1: the main window. Lists received comments until each is kept or deleted, then the saved
// comments of one category; shows the chosen one read-only.

#include "settings/SettingsStore.h"
#include "store/Categories.h"
#include "store/CommentTable.h"
#include "store/FileIdentity.h"
#include "store/MessageSink.h"

#include <QMainWindow>
#include <QMetaObject>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class SearchPanel;
class TUpDown;
class TForm4;
class Arrivals;

namespace store {
class FolderMirror;
struct MirrorEntry;
}  // namespace store

namespace docking {
class TDock;
class TToolbar;
class TToolbarButton;
}  // namespace docking

namespace platform {
struct FileOpResult;
}

namespace ui {
class CommentListView;
class CommentViewLoader;
class StartupLoad;
}  // namespace ui

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The settings backend defaults to the host's; tests pass a fake.
    explicit TForm1(settings::SettingsBackend* backend = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- Components, named as designed, public so the commands and their tests can reach them ----
    docking::TDock* Dock1 = nullptr;
    docking::TDock* Dock2 = nullptr;
    docking::TDock* Dock3 = nullptr;
    docking::TToolbar* Toolbar1 = nullptr;
    docking::TToolbar* Toolbar2 = nullptr;
    docking::TToolbar* Toolbar3 = nullptr;
    docking::TToolbarButton* ToolbarButton6 = nullptr;  // save all
    docking::TToolbarButton* ToolbarButton5 = nullptr;  // save
    docking::TToolbarButton* ToolbarButton4 = nullptr;  // delete
    docking::TToolbarButton* ToolbarButton2 = nullptr;  // exit
    // The category buttons and menu items are built from the category table; these name its rows.
    docking::TToolbarButton* CommentBt = nullptr;
    docking::TToolbarButton* MarketBt = nullptr;
    docking::TToolbarButton* WeekEndBt = nullptr;
    docking::TToolbarButton* KessanBt = nullptr;
    QWidget* Panel1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    TUpDown* UpDown1 = nullptr;
    docking::TToolbarButton* ToolbarButton3 = nullptr;  // print
    docking::TToolbarButton* ToolbarButton1 = nullptr;  // "ゴミ箱", always hidden
    docking::TToolbarButton* ToolbarButton7 = nullptr;  // home page
    docking::TToolbarButton* tesseraPageGo = nullptr;   // service page
    docking::TToolbarButton* ArrivalsBt = nullptr;      // "新着ｺﾒﾝﾄ表示", the end of Toolbar3, while arrivals wait

    QWidget* Panel0 = nullptr;
    ui::CommentListView* ListBox1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    QAction* NStock = nullptr;
    QAction* NDelete = nullptr;
    QAction* NAllStock = nullptr;
    QAction* Print1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* NComment = nullptr;
    QAction* NMarket = nullptr;
    QAction* NWeekEnd = nullptr;
    QAction* NKessan = nullptr;
    QAction* NSearch = nullptr;  // "検索(&F)...": the search panel
    QAction* NArrivals = nullptr;  // 表示 → "新着コメント表示(&N)", F5, while arrivals wait
    QAction* N3 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* NColor = nullptr;
    QAction* N7 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* NHomePage = nullptr;     // "Brevonﾎｰﾑﾍﾟｰｼﾞ(&B)", as ToolbarButton7
    QAction* NTesseraPage = nullptr;  // "tesseraﾎｰﾑﾍﾟｰｼﾞ(&T)", as tesseraPageGo
    QAction* About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;

    // ---- State shared by the commands ----
    bool receivedMode() const { return receivedMode_; }
    const store::CommentTable& commentTable() const { return table_; }
    const std::vector<std::string>& pathList() const { return pathList_; }
    const store::CommentDirs& dirs() const { return dirs_; }
    QString settingsKey() const;
    Arrivals* arrivals() const { return arrivals_; }            // comments that arrive while the window is open
    store::MessageSink& messageSink() const { return *sink_; }  // where the store's messages go
    QMenu* viewMenu() const { return viewMenu_; }               // 表示

    // ---- Verbs for what arrives, changes and goes while the window is open ----
    // The received folder as it now is, listed as at a start, the list focused. False when it
    // holds no comment (gone again meanwhile): the saved comments stay on show.
    bool switchToReceivedMode();
    // Out of received mode: the saved comments, purged to their limits, of the category that is down.
    void switchToSavedMode();
    // Received mode: each entry joins its category's lines, newest first, after lines of its time;
    // the caret and the selection stay on their files. An entry whose file is listed already
    // gives its line its new text instead. Returns the entries listed anew, by index.
    std::vector<std::size_t> addArrivals(const std::vector<store::MirrorEntry>& entries);
    // The lines of files listed under these entries' paths take their text and identity: a name
    // that holds another file, or a file whose writer had not finished. The caret's line is shown again.
    void rereadFiles(const std::vector<store::MirrorEntry>& entries);
    // The lines of these files leave. A caret whose line goes moves to the line after it, which
    // is shown; an emptied list in received mode looks at the received folder again.
    void removeFiles(const std::vector<std::string>& paths);
    // The button and menu item that lead to received mode, made hidden; `onClick` runs for both.
    void addArrivalsCommand(const std::function<void()>& onClick);
    // Comments waiting beyond the list: arrivals in saved mode (`arrivals`, the button and menu item
    // shown), or in received mode the received comments the list has no room for. The caption counts them.
    void showWaiting(int arrivals);
    // Received comments that wait in the folder beyond the list (its 500 a category).
    int receivedBeyondList() const { return receivedMode_ ? beyondList_ : 0; }
    // The window closes: the toolbars go back to where the user put them, for the layout stored.
    void hideArrivalsCommand();

    // ---- Handlers ----
    void WeekEndBtClick(QObject* sender);
    // Keeping and deleting: one batch over the chosen lines (the caret's line when none is chosen).
    enum class BatchAction { KeepSelected, KeepAll, Delete };
    void runBatch(BatchAction action);
    void ToolbarButton4Click();  // ｺﾒﾝﾄの削除, 削除(&D)
    void ToolbarButton5Click();  // ｺﾒﾝﾄの保存, 保存(&S)
    void ToolbarButton6Click();  // 全ｺﾒﾝﾄの保存, 全保存(&L)
    void ListBox1Click();
    void ShowSelectedComment();
    void UpDown1Click();
    void Copy1Click();
    void N7Click();
    void N3Click(QAction* sender);
    void Toolbar1DockStand(int tag);
    void ToolbarButton3Click();
    void NColorClick();
    void tesseraPageGoClick(QObject* sender);
    void WarningPlay();
    std::string ReadUserId() const;
    void Exit1Click();
    void About1Click();
    void Contents1Click();

    // Shows the comment at `path` as if its line had been chosen: in saved mode its category
    // first. False when the list has no such line.
    bool showComment(int category, const std::string& path);
    SearchPanel* searchPanel();

    int CurrentCategory() const;
    bool HasLayoutPresets();
    void CreateLayoutPresets();
    // The live arrangement at the close, with the settings' write where the host can take it;
    // false when a value was refused.
    bool saveLiveLayout();

    // What WriteSettings stores of the window at this moment.
    settings::MainWindowState currentWindowState() const;

    // Hooks for tests: the retention dialog before it is shown (return false to cancel instead),
    // and how per-file failures of a keep/delete batch are reported.
    std::function<bool(TForm4&)> onRetentionDialog;
    std::function<void(const platform::FileOpResult&)> onBatchFailures;

protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void showEvent(QShowEvent* event) override;    // FormShow, once
    void wheelEvent(QWheelEvent* event) override;  // WMMouseWheel
    void changeEvent(QEvent* event) override;      // a theme switch

private:
    void buildMenu();
    void buildToolbars();
    void buildClient();
    void FormCreate();
    void FormShow();
    void FormDestroy();

    void fillReceivedList();
    void fillFromBlock(int category);
    void relistReceived();
    void countBeyondList();
    void updateCaption();
    void removeRows(const std::vector<int>& rows);  // ascending; see removeFiles
    void eraseLines(int start, int count);
    // The first row after the lines of `category` newer than `time` (and as new, with `equalToo` false).
    int firstRowAfter(int category, double time, bool equalToo) const;
    int rowOfFile(const std::string& path) const;  // of a listed file, or -1
    void showArrivalsButton(bool show);
    void setCaret(int row);
    void enableByMode();
    platform::FileOpResult runFileOperation(const std::function<platform::FileOpResult()>& op);
    void reportBatchFailures(const platform::FileOpResult& result);
    void applyColors();
    void applyFontSize(int size);
    void connectDeleteButton();
    docking::TToolbarButton* categoryButton(int k) const;
    QAction* categoryItem(int k) const;

    std::unique_ptr<settings::SettingsBackend> ownBackend_;
    settings::SettingsBackend* backend_;
    std::unique_ptr<store::MessageSink> sink_;
    store::CommentDirs dirs_;
    store::CommentTable table_;
    std::vector<std::string> pathList_;
    std::array<docking::TToolbarButton*, store::kCategoryCount> categoryButtons_{};  // by category index
    std::array<QAction*, store::kCategoryCount> categoryItems_{};
    // Parallel to pathList_: what stood under each path when its line was made, for the commands
    // to act only on the file whose line the user saw.
    struct LineFile {
        store::FileIdentity identity;
        double time = 0;  // as listed; the order of the lines
        int category = 0;
    };
    std::vector<LineFile> lineFiles_;
    std::unordered_map<std::string, double> listed_;  // every listed path, with its time as listed
    std::string shownPath_;  // the file Memo1 shows, as its line knew it
    store::FileIdentity shownIdentity_;
    QAction* arrivalsSeparator_ = nullptr;
    int beyondList_ = 0;        // received comments the list has no room for
    int arrivalsWaiting_ = 0;   // saved mode: arrivals not yet listed
    QString baseTitle_;
    // Where the three toolbars sit (dock, row, position): the wider Toolbar3 pushes its neighbours
    // along while the arrivals button shows, and each goes back when it goes, unless moved meanwhile.
    using ToolbarPlaces = std::array<std::tuple<docking::TDock*, int, int>, 3>;
    ToolbarPlaces toolbarPlaces() const;
    ToolbarPlaces placesBefore_{};
    ToolbarPlaces placesPushed_{};
    bool pushedKnown_ = false;
    std::array<bool, 3> movedByUser_{};
    bool receivedMode_ = false;
    bool shown_ = false;
    QMetaObject::Connection deleteButtonConnection_;
    Arrivals* arrivals_ = nullptr;
    SearchPanel* searchPanel_ = nullptr;  // made when first asked for
    QMenu* viewMenu_ = nullptr;
    ui::CommentViewLoader* viewLoader_ = nullptr;
    std::unique_ptr<store::FolderMirror> arrivalWatch_;  // from the constructor until Arrivals takes it
    std::unique_ptr<store::FolderMirror> savedWatch_;    // the saved folder, likewise
    std::unique_ptr<ui::StartupLoad> startupLoad_;       // until FormCreate has the table; declared after it
};
