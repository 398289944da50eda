#include "ui/ComMain.h"

#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/Library.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsRecord.h"
#include "ui/Placement.h"
#include "ui/UpDown.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

using settings::Settings;

TForm1::TForm1(settings::SettingsBackend* backend, QWidget* parent) : QMainWindow(parent), backend_(backend)
{
    if (!backend_) {
        ownBackend_ = std::make_unique<settings::HostSettingsBackend>();
        backend_ = ownBackend_.get();
    }
    setObjectName(QStringLiteral("Form1"));
    buildMenu();
    buildClient();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::buildMenu()
{
    QMenuBar* bar = menuBar();
    MainMenuFile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    NStock = MainMenuFile->addAction(QStringLiteral("保存(&S)"));
    NDelete = MainMenuFile->addAction(QStringLiteral("削除(&D)"));
    NAllStock = MainMenuFile->addAction(QStringLiteral("全保存(&L)"));
    Print1 = MainMenuFile->addAction(QStringLiteral("印刷(&P)"));
    MainMenuFile->addSeparator();
    Exit1 = MainMenuFile->addAction(QStringLiteral("終了(&X)"));
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    auto* categories = new QActionGroup(this);
    NComment = view->addAction(QStringLiteral("連絡"));
    NMarket = view->addAction(QStringLiteral("ﾏｰｹｯﾄ情報"));
    NWeekEnd = view->addAction(QStringLiteral("週末ｺﾒﾝﾄ"));
    NKessan = view->addAction(QStringLiteral("決算ｺﾒﾝﾄ"));
    for (QAction* a : {NComment, NMarket, NWeekEnd, NKessan}) {
        a->setCheckable(true);
        categories->addAction(a);
    }

    QMenu* window = bar->addMenu(QStringLiteral("画面(&W)"));
    QMenu* align = window->addMenu(QStringLiteral("ﾂｰﾙﾊﾞｰの整列"));
    N3 = align->addAction(QStringLiteral("上に整列"));
    N5 = align->addAction(QStringLiteral("左に整列"));
    N6 = align->addAction(QStringLiteral("右に整列"));
    N3->setData(1);
    N5->setData(2);
    N6->setData(3);

    QMenu* options = bar->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
    NColor = options->addAction(QStringLiteral("配色"));
    N7 = options->addAction(QStringLiteral("保存設定"));

    QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    Contents1 = help->addAction(QStringLiteral("目次(&C)"));
    About1 = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    connect(Contents1, &QAction::triggered, this, &TForm1::Contents1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::buildClient()
{
    Panel0 = new QWidget(this);
    Panel0->setObjectName(QStringLiteral("Panel0"));
    auto* layout = new QVBoxLayout(Panel0);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Vertical, Panel0);
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);
    ListBox1 = new QListWidget(Splitter1);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Memo1 = new QPlainTextEdit(Splitter1);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Splitter1->setStretchFactor(1, 1);
    layout->addWidget(Splitter1);
    setCentralWidget(Panel0);

    Edit2 = new QLineEdit(this);
    Edit2->setReadOnly(true);
    UpDown1 = new TUpDown(this);
    UpDown1->setRange(9, 30);
    UpDown1->setIncrement(3);
    UpDown1->setBuddy(Edit2);
    UpDown1->setPosition(12);
}

void TForm1::FormCreate()
{
    const host::HostInfo& info = host::Host();
    const QString title = platform::fromCp932(info.windowTitle);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(title);
    setWindowTitle(title);

    settings::SettingsRecord& s = Settings();
    settings::ReadSettings(*backend_, s);

    const QScreen* screen = QGuiApplication::primaryScreen();
    ui::ScreenInfo si;
    if (screen) {
        si.width = screen->geometry().width();
        si.height = screen->geometry().height();
        si.taskbarWidth = screen->availableGeometry().width();
    }
    const ui::Placement p = ui::placeWindow(s.top, s.left, s.width, s.height, si);
    resize(p.width, p.height);
    if (p.centred && screen)
        move(screen->geometry().center() - QPoint(p.width / 2, p.height / 2));
    else
        move(p.left, p.top);
    const int clientHeight = p.height - menuBar()->sizeHint().height();
    Splitter1->setSizes({ui::listHeight(s.reHeight, clientHeight), clientHeight});

    s.fontSize = ui::clampFontSize(s.fontSize);
    UpDown1->setPosition(s.fontSize);
    if (p.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

settings::MainWindowState TForm1::windowState() const
{
    settings::MainWindowState w;
    const QRect frame = frameGeometry();
    w.top = frame.top();
    w.left = frame.left();
    w.width = frame.width();
    w.height = frame.height();
    w.listHeight = ListBox1->height();
    w.fontSizeText = Edit2->text().toStdString();
    w.currentCategory = 0;
    return w;
}

void TForm1::FormDestroy()
{
    settings::WriteSettings(*backend_, Settings(), windowState());
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
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
    show(platform::programPath().c_str(), platform::cp932("コメント情報").c_str());
}

void TForm1::Contents1Click() {}

void TForm1::wheelEvent(QWheelEvent* event)
{
    // Wheel messages that reach the window itself are neither acted on nor passed on.
    event->accept();
}
