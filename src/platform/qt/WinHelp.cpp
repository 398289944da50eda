#include "platform/qt/WinHelp.h"

#include "platform/qt/HelpBrowser.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <map>

namespace platform {

namespace {

QString& applicationFile()
{
    static QString name = QStringLiteral("Comment.hlp");
    return name;
}

// ":/help/comment/" for "Comment.hlp" (also with a directory in front).
QString resourceFolder(const QString& helpFile)
{
    return QStringLiteral(":/help/%1/").arg(QFileInfo(helpFile).completeBaseName().toLower());
}

std::map<unsigned long, QString> contextMap(const QString& folder)
{
    std::map<unsigned long, QString> map;
    QFile file(folder + QStringLiteral("map.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return map;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).simplified().split(u' ');
        bool ok = false;
        const unsigned long context = fields.value(0).toULong(&ok);
        if (ok && fields.size() >= 2)
            map[context] = fields.at(1);
    }
    return map;
}

// A main window, so that a screen reader presents it as a window of its own, named by its caption.
class HelpWindow : public QMainWindow {
public:
    HelpWindow()
    {
        setAttribute(Qt::WA_DeleteOnClose);
        // Help left open must not keep the program alive after its main window has gone.
        setAttribute(Qt::WA_QuitOnClose, false);
        setWindowTitle(QStringLiteral("ヘルプ"));
        resize(560, 480);

        auto* page = new QWidget(this);
        setCentralWidget(page);
        auto* contents = new QPushButton(QStringLiteral("目次(&C)"), page);
        auto* back = new QPushButton(QStringLiteral("戻る(&B)"), page);
        browser_ = new HelpBrowser(page);
        browser_->setOpenExternalLinks(true);

        auto* buttons = new QHBoxLayout;
        buttons->addWidget(contents);
        buttons->addWidget(back);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(page);
        layout->addLayout(buttons);
        layout->addWidget(browser_);
        // The page has the keyboard when the window opens: the arrow keys read it, Tab visits its links.
        setFocusProxy(browser_);
        browser_->setFocus();

        connect(contents, &QPushButton::clicked, this, [this] { showPage(QStringLiteral("index.html")); });
        connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
        // The caption names the topic shown, as the help program's caption did.
        connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
            const QString topic = browser_->documentTitle();
            setWindowTitle(topic.isEmpty() ? QStringLiteral("ヘルプ") : QStringLiteral("ヘルプ - ") + topic);
        });
        back->setEnabled(false);
        if (auto* app = QCoreApplication::instance())
            connect(app, &QCoreApplication::aboutToQuit, this, &QWidget::close);
    }

    void setFolder(const QString& folder) { folder_ = folder; }

    void showPage(const QString& page) { browser_->setSource(QUrl(QStringLiteral("qrc") + folder_ + page)); }

    void showMissing(const QString& helpFile)
    {
        browser_->setHtml(QStringLiteral("<p>ヘルプファイル %1 が見つかりません。</p>").arg(helpFile.toHtmlEscaped()));
    }

    QString topic() const { return browser_->source().fileName(); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QMainWindow::keyPressEvent(event);
    }

private:
    QTextBrowser* browser_ = nullptr;
    QString folder_;
};

QPointer<HelpWindow>& window()
{
    static QPointer<HelpWindow> current;
    return current;
}

HelpWindow& openWindow()
{
    if (!window())
        window() = new HelpWindow;
    return *window();
}

void present(HelpWindow& w)
{
    // Help asked for from a modal dialog must be usable beside it, as the separate help program of
    // the original platform was. As the dialog's transient window the modality lets it through and
    // the window manager keeps it in front of the dialog; when the dialog goes, help stays open.
    QWidget* modal = QApplication::activeModalWidget();
    QWindow* owner = modal && modal != &w ? modal->windowHandle() : nullptr;
    w.winId();
    if (w.windowHandle()->transientParent() != owner) {
        w.hide();  // the window manager reads whose transient a window is when it is mapped
        w.windowHandle()->setTransientParent(owner);
    }
    w.show();
    w.raise();
    w.activateWindow();
}

}  // namespace

void setApplicationHelpFile(const QString& name) { applicationFile() = name; }

QString applicationHelpFile() { return applicationFile(); }

bool WinHelp(const QString& helpFile, unsigned command, unsigned long data)
{
    if (command == HELP_QUIT) {
        if (window())
            window()->close();
        return true;
    }
    if (command != HELP_CONTEXT && command != HELP_CONTENTS)
        return false;

    HelpWindow& w = openWindow();
    const QString folder = resourceFolder(helpFile);
    w.setFolder(folder);
    bool found = QFile::exists(folder + QStringLiteral("index.html"));
    if (!found) {
        w.showMissing(QFileInfo(helpFile).fileName());
    } else {
        QString page = QStringLiteral("index.html");
        if (command == HELP_CONTEXT) {
            const auto map = contextMap(folder);
            const auto it = map.find(data);
            found = it != map.end() && QFile::exists(folder + it->second);
            if (found)
                page = it->second;
        }
        w.showPage(page);
    }
    present(w);
    return found;
}

bool WinHelp(unsigned command, unsigned long data) { return WinHelp(applicationHelpFile(), command, data); }

QWidget* helpWindow() { return window().data(); }

QString helpTopic() { return window() ? window()->topic() : QString(); }

}  // namespace platform
