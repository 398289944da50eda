#pragma once
// TForm1: the main window. Lists received comments until each is kept or deleted, then the saved
// comments of one category; shows the chosen one read-only.

#include "settings/SettingsStore.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QActionGroup;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class TUpDown;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // The settings backend defaults to the host's; tests pass a fake.
    explicit TForm1(settings::SettingsBackend* backend = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // Components, named as designed, public so the commands and their tests can reach them.
    QWidget* Panel0 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    TUpDown* UpDown1 = nullptr;

    QMenu* MainMenuFile = nullptr;
    QAction* NStock = nullptr;
    QAction* NDelete = nullptr;
    QAction* NAllStock = nullptr;
    QAction* Print1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* NComment = nullptr;
    QAction* NMarket = nullptr;
    QAction* NWeekEnd = nullptr;
    QAction* NKessan = nullptr;
    QAction* N3 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* NColor = nullptr;
    QAction* N7 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;

    // What WriteSettings stores of the window at this moment.
    settings::MainWindowState windowState() const;

public slots:
    void Exit1Click();
    void About1Click();
    void Contents1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;  // WMMouseWheel

private:
    void buildMenu();
    void buildClient();
    void FormCreate();
    void FormDestroy();

    std::unique_ptr<settings::SettingsBackend> ownBackend_;
    settings::SettingsBackend* backend_;
};
