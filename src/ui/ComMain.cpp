// TForm1: construction of the designed window and its life cycle (start, first show, close).

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
#include "platform/qt/Cp932.h"
#include "platform/qt/FrameExtents.h"
#include "platform/qt/Registry.h"
#include "platform/qt/ShellOpen.h"
#include "platform/qt/WinHelp.h"
#include "settings/SettingsRecord.h"
#include "store/FolderMirror.h"
#include "store/Loader.h"
#include "ui/Arrivals.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/DesignedFonts.h"
#include "ui/FocusFrame.h"
#include "ui/FrameworkError.h"
#include "ui/GlyphStrip.h"
#include "ui/Placement.h"
#include "ui/SearchPanel.h"
#include "ui/StartupLoad.h"
#include "ui/UpDown.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <optional>
#include <stdexcept>
#include <string_view>

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

const char* const kFontFace = "ＭＳ ゴシック";

// Under Wayland a program neither learns nor sets where its windows are.
bool compositorPlacesWindows() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace

TForm1::TForm1(settings::SettingsBackend* backend, QWidget* parent)
    : QMainWindow(parent), backend_(backend), sink_(std::make_unique<HostMessageSink>())
{
    if (!backend_) {
        ownBackend_ = std::make_unique<settings::HostSettingsBackend>();
        backend_ = ownBackend_.get();
    }
    setObjectName(QStringLiteral("Form1"));
    ui::mapDesignedFonts();
    const host::HostInfo& info = host::Host();
    dirs_.received = info.receivedDir;
    dirs_.saved = info.savedDir();
    // The settings first, and the watch for arriving comments, so that the comment folders are
    // purged and loaded while the window is built (with 2,000 received comments each takes about
    // as long as the other) and nothing that arrives meanwhile is missed.
    settings::ReadSettings(*backend_, Settings());
    arrivalWatch_ = std::make_unique<store::FolderMirror>(dirs_.received, false, sink_.get());
    savedWatch_ = std::make_unique<store::FolderMirror>(dirs_.saved, false);
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
    connect(NStock, &QAction::triggered, this, &TForm1::ToolbarButton5Click);
    connect(NDelete, &QAction::triggered, this, &TForm1::ToolbarButton4Click);
    connect(NAllStock, &QAction::triggered, this, &TForm1::ToolbarButton6Click);
    connect(Print1, &QAction::triggered, this, &TForm1::ToolbarButton3Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    viewMenu_ = view;
    auto* radio = new QActionGroup(this);
    for (int k = 0; k < store::kCategoryCount; ++k) {
        const store::CategoryInfo& c = store::categoryInfo(k);
        QAction* a = view->addAction(QString::fromUtf8(c.menuCaptionUtf8));
        a->setObjectName(QString::fromUtf8(c.menuItemName));
        a->setCheckable(true);
        radio->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { WeekEndBtClick(a); });
        categoryItems_[static_cast<size_t>(k)] = a;
    }
    NComment = categoryItem(store::kNotices);
    NMarket = categoryItem(store::kMarketFlash);
    NWeekEnd = categoryItem(store::kWeekend);
    NKessan = categoryItem(store::kEarnings);
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
    // The web pages otherwise only on the toolbar, which the keyboard does not reach.
    help->addSeparator();
    NHomePage = help->addAction(QStringLiteral("Brevonﾎｰﾑﾍﾟｰｼﾞ(&B)"));
    NTesseraPage = help->addAction(QStringLiteral("tesseraﾎｰﾑﾍﾟｰｼﾞ(&T)"));
    help->addSeparator();
    About1 = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    connect(Contents1, &QAction::triggered, this, &TForm1::Contents1Click);
    // As a click on the toolbar button each stands for.
    connect(NHomePage, &QAction::triggered, this, [this] { tesseraPageGoClick(ToolbarButton7); });
    connect(NTesseraPage, &QAction::triggered, this, [this] { tesseraPageGoClick(tesseraPageGo); });
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
    // Read-only, yet with a caret the keys move, so a screen reader can read a comment line by line.
    Memo1->setTextInteractionFlags(Memo1->textInteractionFlags() | Qt::TextSelectableByKeyboard);
    new ui::FocusFrame(Memo1);
    ListBox1->setAccessibleName(QStringLiteral("コメント一覧"));
    Memo1->setAccessibleName(QStringLiteral("コメント本文"));
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

    // In the stored size at once: the view lays its empty document out with each font it is given,
    // and a CJK face loaded at a size that is never shown only delays the first paint.
    QFont font(QString::fromUtf8(kFontFace));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(ui::clampFontSize(Settings().fontSize));
    ListBox1->setFont(font);
    Memo1->setFont(font);

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
    auto makeButton = [](TToolbar* bar, std::string_view name, const QString& hint, std::string_view glyph,
                         int numGlyphs, int width = 30) {
        auto* b = new TToolbarButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedSize(width, 25);
        b->setHint(hint);
        b->setNumGlyphs(numGlyphs);
        b->setGlyph(ui::glyphStrip(QString::fromLatin1(glyph)));
        return b;
    };

    Toolbar3 = makeToolbar("Toolbar3", 0);
    ToolbarButton6 = makeButton(Toolbar3, "ToolbarButton6", QStringLiteral("全ｺﾒﾝﾄの保存"), "saveall", 5);
    ToolbarButton5 = makeButton(Toolbar3, "ToolbarButton5", QStringLiteral("ｺﾒﾝﾄの保存"), "save", 5);
    ToolbarButton4 = makeButton(Toolbar3, "ToolbarButton4", QStringLiteral("ｺﾒﾝﾄの削除"), "delete", 5);
    ToolbarButton2 = makeButton(Toolbar3, "ToolbarButton2", QStringLiteral("終了"), "exit", 5);

    Toolbar1 = makeToolbar("Toolbar1", 137);
    for (int k = 0; k < store::kCategoryCount; ++k) {
        const store::CategoryInfo& c = store::categoryInfo(k);
        TToolbarButton* b = makeButton(Toolbar1, c.buttonName, QString::fromUtf8(c.buttonHintUtf8), c.glyph, 5);
        b->setGroupIndex(1);
        connect(b, &TToolbarButton::clicked, this, [this, b] { WeekEndBtClick(b); });
        categoryButtons_[static_cast<size_t>(k)] = b;
    }
    CommentBt = categoryButton(store::kNotices);
    MarketBt = categoryButton(store::kMarketFlash);
    WeekEndBt = categoryButton(store::kWeekend);
    KessanBt = categoryButton(store::kEarnings);

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

    // The captions stay empty as designed, and so do the floating windows' titles; a screen reader
    // still learns what each toolbar holds.
    Toolbar3->setAccessibleName(QStringLiteral("コメント操作"));
    Toolbar1->setAccessibleName(QStringLiteral("カテゴリ"));
    Toolbar2->setAccessibleName(QStringLiteral("表示と印刷"));

    connect(ToolbarButton6, &TToolbarButton::clicked, this, &TForm1::ToolbarButton6Click);
    connect(ToolbarButton5, &TToolbarButton::clicked, this, &TForm1::ToolbarButton5Click);
    connectDeleteButton();  // the hidden "ゴミ箱" button issues no command
    connect(ToolbarButton2, &TToolbarButton::clicked, this, &TForm1::Exit1Click);
    connect(UpDown1, &TUpDown::clicked, this, &TForm1::UpDown1Click);
    connect(ToolbarButton3, &TToolbarButton::clicked, this, &TForm1::ToolbarButton3Click);
    for (TToolbarButton* b : {ToolbarButton7, tesseraPageGo})
        connect(b, &TToolbarButton::clicked, this, [this, b] { tesseraPageGoClick(b); });
}

void TForm1::connectDeleteButton()
{
    deleteButtonConnection_ = connect(ToolbarButton4, &TToolbarButton::clicked, this, &TForm1::ToolbarButton4Click);
}

docking::TToolbarButton* TForm1::categoryButton(int k) const { return categoryButtons_.at(static_cast<size_t>(k)); }

QAction* TForm1::categoryItem(int k) const { return categoryItems_.at(static_cast<size_t>(k)); }

// ---------------------------------------------------------------------------------------------
// Life cycle

void TForm1::FormCreate()
{
    const QString title = platform::fromCp932(host::Host().windowTitle);
    QApplication::setApplicationName(title);
    setWindowTitle(title);

    settings::SettingsRecord& s = Settings();                  // read in the constructor
    arrivals_ = new Arrivals(this, std::move(arrivalWatch_), std::move(savedWatch_));  // watching since the constructor

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
    const bool placedByCompositor = compositorPlacesWindows();
    const ui::Placement p = ui::placeWindow(s.top, s.left, s.width, s.height, si, placedByCompositor);
    const ui::Bounds normal = ui::normalBounds(p, work);
    // The stored bounds are outer bounds; the window manager's frame is not part of the widget.
    // Under Wayland they are the window's own size (the title bar Qt draws there is not counted).
    const QMargins frame = placedByCompositor ? QMargins() : platform::frameExtentsBeforeShow(this);
    resize(normal.width - frame.left() - frame.right(), normal.height - frame.top() - frame.bottom());
    // The native window exists now (the frame was asked for it), so a move places the client.
    const QPoint clientOffset(frame.left(), frame.top());
    // Under Wayland the compositor places it.
    if (!placedByCompositor) {
        if (p.centred && screen)
            move(screen->geometry().center() - QPoint(normal.width / 2, normal.height / 2) + clientOffset);
        else
            move(QPoint(normal.left, normal.top) + clientOffset);
    }
    const int clientHeight = height() - menuBar()->sizeHint().height();
    Splitter1->setSizes({ui::listHeight(s.reHeight, clientHeight), clientHeight});

    s.fontSize = ui::clampFontSize(s.fontSize);
    if (p.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    if (p.centred)
        docking::SaveToolbarLayout(this, settingsKey());  // the designed arrangement becomes the live one

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
    docking::LoadToolbarLayout(this, settingsKey());

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
    bool layoutStored = true;
    const bool stored = settings::WriteSettings(*backend_, Settings(), currentWindowState(), [&] {
        if (arrivals_)
            arrivals_->restoreUserLayout();  // the arrivals button's room is not the user's arrangement
        layoutStored = saveLiveLayout();
    });
    if (!stored || !layoutStored || platform::Registry::failedFlushes() != failedBefore)
        settings::ShowUnwritableSettings();  // once, and the close goes on
    pathList_.clear();
}

settings::MainWindowState TForm1::currentWindowState() const
{
    settings::MainWindowState w;
    ui::Bounds b;
    const bool placedByCompositor = compositorPlacesWindows();
    if (isMaximized() && screen()) {
        const QRect a = screen()->availableGeometry();
        b = ui::maximisedBounds({a.left(), a.top(), a.width(), a.height()});
    } else if (placedByCompositor) {
        b = {0, 0, width(), height()};
    } else {
        const QRect frame = frameGeometry();
        b = {frame.left(), frame.top(), frame.width(), frame.height()};
    }
    const settings::SettingsRecord& s = Settings();  // as read at the start
    b = ui::boundsToStore(b, {s.left, s.top, s.width, s.height}, placedByCompositor);
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

void TForm1::changeEvent(QEvent* event)
{
    // The list and view carry palettes of their own, which a new desktop theme does not reach:
    // the default colours follow it again.
    const bool themed = event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange;
    if (themed && ListBox1 && Memo1)
        applyColors();
    QMainWindow::changeEvent(event);
}
