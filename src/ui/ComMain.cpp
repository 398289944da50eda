#include "ui/ComMain.h"

#include "docking/DockHost.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "docking/ToolbarLayout.h"
#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/Library.h"
#include "platform/ShellFileOperation.h"
#include "platform/qt/Cp932.h"
#include "platform/qt/FrameExtents.h"
#include "platform/qt/Registry.h"
#include "platform/qt/ShellOpen.h"
#include "platform/qt/WinHelp.h"
#include "settings/SettingsRecord.h"
#include "store/FileBatch.h"
#include "store/Loader.h"
#include "store/Purge.h"
#include "ui/Arrivals.h"
#include "ui/ColorValue.h"
#include "ui/ComColor.h"
#include "ui/ComPrin.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/FrameworkError.h"
#include "ui/Placement.h"
#include "ui/SearchPanel.h"
#include "ui/StartupLoad.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "ui/UpDown.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <future>
#include <iterator>
#include <optional>
#include <stdexcept>

using docking::TToolbarButton;
using settings::Settings;

namespace {

// The store's messages go to the host's message box, with 0 for the fourth and sixth values.
class HostMessageSink final : public store::MessageSink {
public:
    void showMessage(const std::string& title, const std::string& text, const std::string& text2, int kind) override
    {
        host::ShowHostMessage(title, text, text2, 0, static_cast<std::uint8_t>(kind), 0);
    }
};

QPixmap glyphStrip(const QString& name)
{
    // Both scales are compiled in; the button picks by the screen's pixel ratio.
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap strip(QStringLiteral(":/icons/%1%2.png").arg(name, ratio > 1.0 ? QStringLiteral("@2x") : QString()));
    if (ratio > 1.0)
        strip.setDevicePixelRatio(2.0);
    return strip;
}

const char* const kFontFace = "ＭＳ ゴシック";

}  // namespace

TForm1::TForm1(settings::SettingsBackend* backend, QWidget* parent)
    : QMainWindow(parent), backend_(backend), sink_(std::make_unique<HostMessageSink>())
{
    if (!backend_) {
        ownBackend_ = std::make_unique<settings::HostSettingsBackend>();
        backend_ = ownBackend_.get();
    }
    setObjectName(QStringLiteral("Form1"));
    // Widths in the list are byte counts: the substitute must draw a full-width character exactly
    // two half-width columns wide, as the original font does.
    QFont::insertSubstitution(QString::fromUtf8(kFontFace), QStringLiteral("Noto Sans Mono CJK JP"));
    const host::HostInfo& info = host::Host();
    dirs_.received = info.receivedDir;
    dirs_.saved = info.savedDir();
    // The settings first, and the watch for arriving comments, so that the comment folders are
    // purged and loaded while the window is built (with 2,000 received comments each takes about
    // as long as the other) and nothing that arrives meanwhile is missed.
    settings::ReadSettings(*backend_, Settings());
    arrivalWatch_ = std::make_unique<store::ArrivalWatch>(dirs_.received, false);
    startupLoad_ = std::make_unique<ui::StartupLoad>(table_, dirs_, Settings());
    buildMenu();
    // While the designed components are made, the docks only note that they must arrange; they
    // arrange once, with every designed position set, when loading ends.
    docking::setFormLoading(this, true);
    buildClient();
    buildToolbars();
    docking::setFormLoading(this, false);
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

QString TForm1::settingsKey() const { return platform::fromCp932(host::Host().settingsKey); }

// ---------------------------------------------------------------------------------------------
// Construction of the designed window

void TForm1::buildMenu()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    NStock = file->addAction(QStringLiteral("保存(&S)"));
    NDelete = file->addAction(QStringLiteral("削除(&D)"));
    NAllStock = file->addAction(QStringLiteral("全保存(&L)"));
    file->addSeparator();
    Print1 = file->addAction(QStringLiteral("印刷(&P)"));
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("終了(&X)"));
    for (QAction* a : {NStock, NDelete, NAllStock})
        connect(a, &QAction::triggered, this, [this, a] { ToolbarButton4Click(a); });
    connect(Print1, &QAction::triggered, this, &TForm1::ToolbarButton3Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    auto* radio = new QActionGroup(this);
    NComment = view->addAction(QStringLiteral("連絡"));
    NMarket = view->addAction(QStringLiteral("ﾏｰｹｯﾄ情報"));
    NWeekEnd = view->addAction(QStringLiteral("週末ｺﾒﾝﾄ"));
    NKessan = view->addAction(QStringLiteral("決算ｺﾒﾝﾄ"));
    for (QAction* a : {NComment, NMarket, NWeekEnd, NKessan}) {
        a->setCheckable(true);
        radio->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { WeekEndBtClick(a); });
    }
    view->addSeparator();
    NSearch = view->addAction(QStringLiteral("検索(&F)..."));
    NSearch->setShortcut(QKeySequence::Find);
    connect(NSearch, &QAction::triggered, this, [this] { searchPanel()->showFor(ListBox1->font()); });

    QMenu* window = bar->addMenu(QStringLiteral("画面(&W)"));
    QMenu* align = window->addMenu(QStringLiteral("ﾂｰﾙﾊﾞｰの整列"));
    N3 = align->addAction(QStringLiteral("上に整列"));
    N5 = align->addAction(QStringLiteral("左に整列"));
    N6 = align->addAction(QStringLiteral("右に整列"));
    int tag = 1;
    for (QAction* a : {N3, N5, N6}) {
        a->setData(tag++);
        connect(a, &QAction::triggered, this, [this, a] { N3Click(a); });
    }

    QMenu* options = bar->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
    NColor = options->addAction(QStringLiteral("配色"));
    N7 = options->addAction(QStringLiteral("保存設定"));
    connect(NColor, &QAction::triggered, this, &TForm1::NColorClick);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);

    QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    Contents1 = help->addAction(QStringLiteral("目次(&C)"));
    About1 = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    connect(Contents1, &QAction::triggered, this, &TForm1::Contents1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);

    PopupMenu1 = new QMenu(this);
    Copy1 = PopupMenu1->addAction(QStringLiteral("コピー(&C)"));
    connect(Copy1, &QAction::triggered, this, &TForm1::Copy1Click);
}

void TForm1::buildClient()
{
    auto* host = new docking::DockHost(this);
    Dock1 = new docking::TDock(host, docking::dpTop);
    Dock1->setObjectName(QStringLiteral("Dock1"));
    Dock1->setFixAlign(true);
    Dock1->setBoundLines(docking::blTop);
    Dock2 = new docking::TDock(host, docking::dpLeft);
    Dock2->setObjectName(QStringLiteral("Dock2"));
    Dock3 = new docking::TDock(host, docking::dpRight);
    Dock3->setObjectName(QStringLiteral("Dock3"));
    for (docking::TDock* dock : {Dock1, Dock2, Dock3})
        host->addDock(dock);
    Panel0 = new QWidget(host);
    Panel0->setObjectName(QStringLiteral("Panel0"));
    host->setCentralWidget(Panel0);
    setCentralWidget(host);

    auto* layout = new QVBoxLayout(Panel0);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Vertical, Panel0);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);
    ListBox1 = new ui::CommentListView(Splitter1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    Memo1 = new QPlainTextEdit(Splitter1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->exec(Memo1->viewport()->mapToGlobal(p)); });
    viewLoader_ = new ui::CommentViewLoader(Memo1);
    connect(viewLoader_, &ui::CommentViewLoader::readFailed, this, [this](const QString& path) {
        ui::showFrameworkError(this, QStringLiteral("ファイル %1 を読み込めません。").arg(path));
    });
    Splitter1->setStretchFactor(1, 1);
    layout->addWidget(Splitter1);

    QFont listFont(QString::fromUtf8(kFontFace));
    listFont.setStyleHint(QFont::TypeWriter);
    listFont.setFixedPitch(true);
    listFont.setPixelSize(12);
    ListBox1->setFont(listFont);
    QFont viewFont = listFont;
    viewFont.setPixelSize(13);
    Memo1->setFont(viewFont);

    // Clicks and arrow keys move the caret; the view follows it.
    connect(ListBox1, &ui::CommentListView::currentRowChanged, this, [this] { ListBox1Click(); });
}

void TForm1::buildToolbars()
{
    using docking::TToolbar;
    auto makeToolbar = [this](const char* name, int pos) {
        auto* bar = new TToolbar(Dock1);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setDockRow(0);
        bar->setDockPos(pos);
        return bar;
    };
    auto makeButton = [](TToolbar* bar, const char* name, const QString& hint, const char* glyph, int numGlyphs,
                         int width = 30) {
        auto* b = new TToolbarButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedSize(width, 25);
        b->setHint(hint);
        b->setNumGlyphs(numGlyphs);
        b->setGlyph(glyphStrip(QString::fromLatin1(glyph)));
        return b;
    };

    Toolbar3 = makeToolbar("Toolbar3", 0);
    ToolbarButton6 = makeButton(Toolbar3, "ToolbarButton6", QStringLiteral("全ｺﾒﾝﾄの保存"), "saveall", 5);
    ToolbarButton5 = makeButton(Toolbar3, "ToolbarButton5", QStringLiteral("ｺﾒﾝﾄの保存"), "save", 5);
    ToolbarButton4 = makeButton(Toolbar3, "ToolbarButton4", QStringLiteral("ｺﾒﾝﾄの削除"), "delete", 5);
    ToolbarButton2 = makeButton(Toolbar3, "ToolbarButton2", QStringLiteral("終了"), "exit", 5);

    Toolbar1 = makeToolbar("Toolbar1", 137);
    CommentBt = makeButton(Toolbar1, "CommentBt", QStringLiteral("お知らせ表示"), "comment", 5);
    MarketBt = makeButton(Toolbar1, "MarketBt", QStringLiteral("ﾏｰｹｯﾄ速報表示"), "market", 5);
    WeekEndBt = makeButton(Toolbar1, "WeekEndBt", QStringLiteral("週末ｺﾒﾝﾄ表示"), "weekend", 5);
    KessanBt = makeButton(Toolbar1, "KessanBt", QStringLiteral("決算修正率表示"), "kessan", 5);
    for (TToolbarButton* b : {CommentBt, MarketBt, WeekEndBt, KessanBt})
        b->setGroupIndex(1);

    Toolbar2 = makeToolbar("Toolbar2", 274);
    Panel1 = new QWidget(Toolbar2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedSize(44, 25);
    Edit2 = new QLineEdit(Panel1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    Edit2->setGeometry(2, 2, 26, 21);
    Edit2->setToolTip(QStringLiteral("ﾌｫﾝﾄｻｲｽﾞ変更"));
    UpDown1 = new TUpDown(Panel1);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(28, 2, 16, 21);
    UpDown1->setToolTip(QStringLiteral("ﾌｫﾝﾄｻｲｽﾞ変更"));
    UpDown1->setRange(9, 30);
    UpDown1->setIncrement(3);
    UpDown1->setBuddy(Edit2);
    UpDown1->setPosition(12);
    ToolbarButton3 = makeButton(Toolbar2, "ToolbarButton3", QStringLiteral("印刷"), "print", 5);
    ToolbarButton1 = new TToolbarButton(Toolbar2);
    ToolbarButton1->setObjectName(QStringLiteral("ToolbarButton1"));
    ToolbarButton1->setFixedSize(50, 22);
    ToolbarButton1->setCaption(QStringLiteral("ゴミ箱"));
    ToolbarButton1->setVisible(false);
    ToolbarButton7 = makeButton(Toolbar2, "ToolbarButton7", QStringLiteral("Brevonﾎｰﾑﾍﾟｰｼﾞ表示"), "home", 5);
    tesseraPageGo = makeButton(Toolbar2, "tesseraPageGo", QStringLiteral("tesseraﾎｰﾑﾍﾟｰｼﾞ表示"), "tessera", 2, 50);

    for (TToolbarButton* b : {ToolbarButton6, ToolbarButton5})
        connect(b, &TToolbarButton::clicked, this, [this, b] { ToolbarButton4Click(b); });
    connectDeleteButton();
    connect(ToolbarButton1, &TToolbarButton::clicked, this, [this] { ToolbarButton4Click(ToolbarButton1); });
    connect(ToolbarButton2, &TToolbarButton::clicked, this, &TForm1::Exit1Click);
    for (TToolbarButton* b : {CommentBt, MarketBt, WeekEndBt, KessanBt})
        connect(b, &TToolbarButton::clicked, this, [this, b] { WeekEndBtClick(b); });
    connect(UpDown1, &TUpDown::clicked, this, &TForm1::UpDown1Click);
    connect(ToolbarButton3, &TToolbarButton::clicked, this, &TForm1::ToolbarButton3Click);
    for (TToolbarButton* b : {ToolbarButton7, tesseraPageGo})
        connect(b, &TToolbarButton::clicked, this, [this, b] { tesseraPageGoClick(b); });
}

void TForm1::connectDeleteButton()
{
    deleteButtonConnection_ =
        connect(ToolbarButton4, &TToolbarButton::clicked, this, [this] { ToolbarButton4Click(ToolbarButton4); });
}

docking::TToolbarButton* TForm1::categoryButton(int k) const
{
    const std::array<TToolbarButton*, 4> buttons{CommentBt, MarketBt, WeekEndBt, KessanBt};
    return buttons.at(static_cast<size_t>(k));
}

QAction* TForm1::categoryItem(int k) const
{
    const std::array<QAction*, 4> items{NComment, NMarket, NWeekEnd, NKessan};
    return items.at(static_cast<size_t>(k));
}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TForm1::FormCreate()
{
    const QString title = platform::fromCp932(host::Host().windowTitle);
    QApplication::setApplicationName(title);
    setWindowTitle(title);

    settings::SettingsRecord& s = Settings();  // read in the constructor
    arrivals_ = new Arrivals(this, std::move(arrivalWatch_));  // watching since the constructor

    const QScreen* screen = QGuiApplication::primaryScreen();
    ui::ScreenInfo si;
    ui::Bounds work;
    if (screen) {
        si.width = screen->geometry().width();
        si.height = screen->geometry().height();
        si.taskbarWidth = screen->availableGeometry().width();
        const QRect a = screen->availableGeometry();
        work = {a.left(), a.top(), a.width(), a.height()};
    }
    const ui::Placement p = ui::placeWindow(s.top, s.left, s.width, s.height, si);
    const ui::Bounds normal = ui::normalBounds(p, work);
    // The stored bounds are outer bounds; the window manager's frame is not part of the widget.
    const QMargins frame = platform::frameExtentsBeforeShow(this);
    resize(normal.width - frame.left() - frame.right(), normal.height - frame.top() - frame.bottom());
    // The native window exists now (the frame was asked for it), so a move places the client.
    const QPoint clientOffset(frame.left(), frame.top());
    if (p.centred && screen)
        move(screen->geometry().center() - QPoint(normal.width / 2, normal.height / 2) + clientOffset);
    else
        move(QPoint(normal.left, normal.top) + clientOffset);
    const int clientHeight = height() - menuBar()->sizeHint().height();
    Splitter1->setSizes({ui::listHeight(s.reHeight, clientHeight), clientHeight});

    s.fontSize = ui::clampFontSize(s.fontSize);
    if (p.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    if (p.centred)
        settings::SaveToolbarLayout(this, settingsKey());  // the designed arrangement becomes the live one

    UpDown1->setPosition(s.fontSize);
    applyFontSize(s.fontSize);

    // A DispMode outside the four categories (an edited store) shows the notices.
    const int shown = store::isValidCategory(s.dispMode) ? s.dispMode : 0;
    categoryButton(shown)->setDown(true);
    categoryItem(shown)->setChecked(true);

    applyColors();
    ToolbarButton1->setVisible(false);

    if (!HasLayoutPresets())
        CreateLayoutPresets();
    settings::LoadToolbarLayout(this, settingsKey());

    pathList_.clear();
    // Interrupted moves cleaned up, the purge, the received comments loaded, or the saved ones
    // when none were received: done beside the window's construction.
    receivedMode_ = startupLoad_->finish(*sink_);
    startupLoad_.reset();
    arrivals_->followOpens();
    enableByMode();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::FormShow()
{
    if (receivedMode_)
        fillReceivedList();
    else
        WeekEndBtClick(this);
    ListBox1->setFocus();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (receivedMode_) {
        host::ShowHostMessage(platform::cp932("警告"), platform::cp932("未処理のコメントが残っています"),
                              platform::cp932("[保存]または[削除]を行ってください"), 0, 0, 0);
        event->ignore();
        return;
    }
    event->accept();
}

void TForm1::FormDestroy()
{
    const int failedBefore = platform::Registry::failedFlushes();
    const bool stored = settings::WriteSettings(*backend_, Settings(), currentWindowState());
    if (arrivals_)
        arrivals_->restoreUserLayout();  // the arrivals button's room is not the user's arrangement
    try {
        settings::SaveToolbarLayout(this, settingsKey());
    } catch (const std::exception&) {
        // Every tool window and dock here is named; nothing to report while the window goes.
    }
    if (!stored || platform::Registry::failedFlushes() != failedBefore)
        settings::ShowUnwritableSettings();  // once, and the close goes on
    pathList_.clear();
}

settings::MainWindowState TForm1::currentWindowState() const
{
    settings::MainWindowState w;
    ui::Bounds b;
    if (isMaximized() && screen()) {
        const QRect a = screen()->availableGeometry();
        b = ui::maximisedBounds({a.left(), a.top(), a.width(), a.height()});
    } else {
        const QRect frame = frameGeometry();
        b = {frame.left(), frame.top(), frame.width(), frame.height()};
    }
    w.top = b.top;
    w.left = b.left;
    w.width = b.width;
    w.height = b.height;
    w.listHeight = ListBox1->height();
    w.fontSizeText = Edit2->text().toStdString();
    w.currentCategory = CurrentCategory();
    return w;
}

void TForm1::enableByMode()
{
    for (int k = 0; k < store::kCategoryCount; ++k) {
        categoryButton(k)->setEnabled(!receivedMode_);
        categoryItem(k)->setEnabled(!receivedMode_);
    }
    for (QAction* a : {NStock, NAllStock})
        a->setEnabled(receivedMode_);
    ToolbarButton5->setEnabled(receivedMode_);
    ToolbarButton6->setEnabled(receivedMode_);
}

void TForm1::Exit1Click() { close(); }

void TForm1::About1Click()
{
    auto library = platform::Library::load("BRVMSG.DLL");
    if (!library) {
        host::ShowHostMessage("DLL LOAD ERROR", "BRVMSG.DLL" + host::kNotFoundSuffix, nullptr, 0, 1, 0);
        return;
    }
    const auto show = library->function<ShowBrevonVersionFn>("ShowBrevonVersion");
    if (!show) {
        host::ShowMissingFunction("ShowBrevonVersion");
        return;
    }
    // The host takes the program's path in code page 932, as it hands paths out.
    const std::string fileName = platform::programPath();
    const std::optional<std::string> hostPath = platform::hostPathFromFileName(fileName);
    if (!hostPath) {
        host::ShowHostMessage(platform::cp932("警告"), platform::cp932("プログラムのパスをBrevonに渡せない"),
                              platform::toCp932(platform::displayFileName(fileName)), 0, 1, 0);
        return;
    }
    show(hostPath->c_str(), platform::cp932("コメント情報").c_str());
}

void TForm1::Contents1Click() { platform::WinHelp(platform::HELP_CONTENTS, 0); }

void TForm1::wheelEvent(QWheelEvent* event)
{
    // Wheel messages that reach the window itself are neither acted on nor passed on.
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The list and the view

int TForm1::CurrentCategory() const
{
    int c = 0;
    if (MarketBt->down())
        c = 1;
    if (WeekEndBt->down())
        c = 2;
    if (KessanBt->down())
        c = 3;
    return c;
}

void TForm1::addLine(const store::TCmntInfo& entry)
{
    ListBox1->lines()->appendLines({entry.listText});
    pathList_.push_back(entry.path);
}

void TForm1::insertLine(int row, const store::TCmntInfo& entry)
{
    const QSignalBlocker block(ListBox1);  // the caret keeps its file: nothing to show again
    ListBox1->lines()->insertLines(row, {entry.listText});
    pathList_.insert(pathList_.begin() + row, entry.path);
}

void TForm1::replaceLine(int row, std::string listText)
{
    ListBox1->lines()->replaceLine(row, std::move(listText));
}

void TForm1::insertLines(int row, const std::vector<store::TCmntInfo>& entries)
{
    const QSignalBlocker block(ListBox1);
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

void TForm1::removeLines(const std::vector<int>& rows)
{
    if (rows.empty())
        return;
    const int caret = ListBox1->currentRow();
    bool caretGone = false;
    {
        const QSignalBlocker block(ListBox1);
        // From the end, each run of neighbouring rows in one removal.
        for (size_t i = rows.size(); i > 0;) {
            size_t first = i - 1;
            while (first > 0 && rows[first - 1] == rows[first] - 1)
                --first;
            const int start = rows[first];
            const int end = rows[i - 1] + 1;
            caretGone = caretGone || (caret >= start && caret < end);
            pathList_.erase(pathList_.begin() + start, pathList_.begin() + end);
            ListBox1->model()->removeRows(start, end - start);
            i = first;
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
        searchPanel_->showComment = [this](int k, const std::string& path) { return showComment(k, path); };
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
        ListBox1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
    case ui::CommentViewLoader::Result::Shown:
        break;
    case ui::CommentViewLoader::Result::OpenFailed:
        ui::showFrameworkError(this, QStringLiteral("ファイル %1 を開けません。").arg(platform::displayFileName(path)));
        break;
    case ui::CommentViewLoader::Result::ReadFailed:
        ui::showFrameworkError(this, QStringLiteral("ファイル %1 を読み込めません。").arg(platform::displayFileName(path)));
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

void TForm1::Copy1Click()
{
    viewLoader_->copy();
}

void TForm1::applyColors()
{
    const settings::SettingsRecord& s = Settings();
    ui::applyColors(ListBox1, s.clTitleBack, s.clTitleFont);
    ui::applyColors(Memo1, s.clMainBack, s.clMainFont);
}

// ---------------------------------------------------------------------------------------------
// Keeping and deleting

void TForm1::ToolbarButton4Click(QObject* sender)
{
    if (sender == ToolbarButton1)
        return;  // the hidden "ゴミ箱" button issues no command
    if (ListBox1->count() == 0)
        return;
    const bool saveAll = sender == ToolbarButton6 || sender == NAllStock;
    const bool remove = sender == ToolbarButton4 || sender == NDelete;

    const QSignalBlocker block(ListBox1);
    if (saveAll) {
        ListBox1->selectAll();  // one selection range; item by item made 2,000 of them
        setCaret(0);
    }
    const int caret = ListBox1->currentRow();
    if (caret < 0)
        return;
    if (!ListBox1->isRowSelected(caret))
        ListBox1->setRowSelected(caret, true);

    // A second click on the delete button does nothing until this command has finished.
    disconnect(deleteButtonConnection_);
    struct Reattach {
        TForm1* form;
        ~Reattach() { form->connectDeleteButton(); }
    } reattach{this};

    // The selected rows, read once: asking item by item walks every selection range each time.
    std::vector<char> selected(static_cast<size_t>(ListBox1->count()), 0);
    for (const QModelIndex& index : ListBox1->selectionModel()->selectedIndexes())
        selected[static_cast<size_t>(index.row())] = 1;

    store::FileBatch batch(remove ? store::BatchCommand::Delete : store::BatchCommand::Save, dirs_.saved);
    for (size_t i = 0; i < selected.size(); ++i) {
        if (selected[i])
            batch.add(pathList_[i]);
    }
    const platform::FileOpResult result = runFileOperation([&batch] { return batch.run(); });

    // From the end towards the start, each run of selected lines in one removal: line by line,
    // every removal updated every selection range (over a second for a save-all of 2,000).
    const int b = caret;
    for (int end = static_cast<int>(selected.size()); end > 0;) {
        if (!selected[static_cast<size_t>(end - 1)]) {
            --end;
            continue;
        }
        int start = end - 1;
        while (start > 0 && selected[static_cast<size_t>(start - 1)])
            --start;
        pathList_.erase(pathList_.begin() + start, pathList_.begin() + end);
        ListBox1->model()->removeRows(start, end - start);
        end = start;
    }
    const int count = ListBox1->count();
    setCaret(count > b ? b : count - 1);
    if (count > 0)
        ListBox1->setRowSelected(ListBox1->currentRow(), true);
    ListBox1->repaint();

    if (!receivedMode_)
        store::LoadCategory(table_, dirs_, false, CurrentCategory(), Settings(), *sink_);
    if (ListBox1->count() > 0) {
        ListBox1Click();
    } else {
        Memo1->clear();
        if (receivedMode_)
            switchToSavedMode();
    }
    ListBox1->repaint();
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
    QStringList lines;
    for (const platform::FileOpFailure& f : result.failures) {
        QString line = platform::displayFileName(f.source);
        if (!f.target.empty())
            line += QStringLiteral(" → ") + platform::displayFileName(f.target);
        lines << line + QStringLiteral(": ") + QString::fromStdString(platform::describeFileOpError(f.error));
    }
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("%1 個のファイルを処理できませんでした。").arg(result.failures.size()),
                    QMessageBox::Ok, this);
    box.setDetailedText(lines.join(QLatin1Char('\n')));
    box.setInformativeText(lines.mid(0, 5).join(QLatin1Char('\n')));
    box.exec();
}

void TForm1::switchToSavedMode()
{
    receivedMode_ = false;
    enableByMode();
    store::LoadCategories(table_, dirs_, false, Settings(), *sink_);
    store::purgeBeyondLimits(table_, Settings());
    for (TToolbarButton* b : {CommentBt, MarketBt, WeekEndBt, KessanBt}) {
        if (b->down()) {
            WeekEndBtClick(b);
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Retention settings

void TForm1::N7Click()
{
    TForm4 dialog(this);
    dialog.onHelp = [] { platform::WinHelp(platform::HELP_CONTEXT, 8); };
    settings::SettingsRecord& s = Settings();
    for (int i = 0; i < 4; ++i) {
        // The spin control holds a 16-bit position.
        dialog.UpDown[i]->setPosition(static_cast<std::int16_t>(s.maxCmntInfo[i]));
        dialog.CheckBox[i]->setChecked(s.delCmntInfo[i]);
    }
    for (int i = 0; i < 4; ++i) {
        if (!dialog.CheckBox[i]->isChecked())
            dialog.CheckBox1Click(i);
    }
    const bool ok = onRetentionDialog ? onRetentionDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!ok)
        return;
    try {
        for (int i = 0; i < 4; ++i)
            s.maxCmntInfo[i] = ui::toInteger(dialog.Edit[i]->text());
    } catch (const ui::ConvertError& e) {
        ui::showFrameworkError(this, e.message());
        return;
    }
    for (int i = 0; i < 4; ++i)
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
// Toolbar layout

bool TForm1::HasLayoutPresets()
{
    auto library = host::LoadHostLibrary("BRVREG.DLL");
    if (!library)
        return false;
    const auto read = library->function<GeneralRegReadStringFn>("GeneralRegReadString");
    if (!read) {
        host::ShowMissingFunction("GeneralRegReadString");
        return false;
    }
    const std::string key = host::Host().settingsKey + "\\Default.Left\\Toolbar1";
    const char* text = nullptr;
    read(key.c_str(), "Rev", &text);
    return text && *text;
}

void TForm1::CreateLayoutPresets()
{
    const QString s = settingsKey();
    settings::SaveToolbarLayout(this, s);
    settings::SaveToolbarLayout(this, s + QStringLiteral("\\Default"));
    for (docking::TDock* dock : {Dock2, Dock3}) {
        for (docking::TToolbar* bar : {Toolbar1, Toolbar2, Toolbar3})
            bar->setDockedTo(dock);
        for (docking::TToolbar* bar : {Toolbar2, Toolbar1, Toolbar3}) {
            bar->setDockRow(1);
            bar->setDockPos(0);
        }
        settings::SaveToolbarLayout(this, s + (dock == Dock2 ? QStringLiteral("\\Default.Left")
                                                             : QStringLiteral("\\Default.Right")));
    }
}

void TForm1::Toolbar1DockStand(int tag)
{
    const QString s = settingsKey();
    if (tag == 1)
        settings::LoadToolbarLayout(this, s + QStringLiteral("\\Default"));
    else if (tag == 2)
        settings::LoadToolbarLayout(this, s + QStringLiteral("\\Default.Left"));
    else if (tag == 3)
        settings::LoadToolbarLayout(this, s + QStringLiteral("\\Default.Right"));
    for (docking::TToolbar* bar : {Toolbar1, Toolbar2, Toolbar3})
        bar->setVisible(true);
}

void TForm1::N3Click(QAction* sender) { Toolbar1DockStand(sender->data().toInt()); }

// ---------------------------------------------------------------------------------------------
// Printing, colours, web pages

void TForm1::ToolbarButton3Click()
{
    viewLoader_->finish();  // the whole comment is printed
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

std::string TForm1::ReadUserId() const { return ui::ReadUserId(host::Host().dataDir); }

void TForm1::tesseraPageGoClick(QObject* sender)
{
    const ui::WebPage page = sender == tesseraPageGo ? ui::WebPage::Tessera : ui::WebPage::Home;
    ui::jumpToWebPage(page, host::Host().dataDir, this, Settings());
}
