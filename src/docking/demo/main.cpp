// Three docks and three toolbars laid out like the main window, for trying the components by hand.
//   docking-demo [--moved] [--grab FILE]
//     --moved  start with Toolbar1 in the left dock and Toolbar2 floating
//     --grab   save a picture of the window once it is shown, then quit

#include "docking/DockHost.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>

using namespace docking;

namespace {

// A strip of five 20x18 images (up, disabled, pressed, down, hot) with a letter on a tinted tile.
QPixmap glyphStrip(const QColor& tint, const QString& letter, int count = 5)
{
    const int w = 20, h = 18;
    QPixmap strip(w * count, h);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < count; ++i) {
        QColor c = tint;
        if (i == 1)
            c = QColor(160, 160, 160);
        else if (i == 2 || i == 3)
            c = tint.darker(130);
        else if (i == 4)
            c = tint.lighter(125);
        const QRectF tile(i * w + 2.5, 1.5, w - 5, h - 3);
        p.setPen(c.darker(160));
        p.setBrush(c);
        p.drawRoundedRect(tile, 3, 3);
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(i == 1 ? QColor(230, 230, 230) : Qt::white);
        p.drawText(tile, Qt::AlignCenter, letter);
    }
    return strip;
}

TToolbarButton* button(QWidget* toolbar, const QString& name, const QString& hint, const QPixmap& strip,
                       int numGlyphs = 5, QSize size = QSize(30, 25))
{
    auto* b = new TToolbarButton(toolbar);
    b->setObjectName(name);
    b->setHint(hint);
    b->setGlyph(strip);
    b->setNumGlyphs(numGlyphs);
    b->resize(size);
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString grabFile;
    const QStringList args = app.arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--grab")); i >= 0 && i + 1 < args.size())
        grabFile = args.at(i + 1);

    DockHost form;
    form.setWindowTitle(QStringLiteral("docking-demo"));
    // Like a form read from its design: the docks arrange once, with every designed position set.
    setFormLoading(&form, true);

    auto* dock1 = new TDock(&form, dpTop);
    dock1->setObjectName(QStringLiteral("Dock1"));
    dock1->setFixAlign(true);
    dock1->setBoundLines(blTop);
    auto* dock2 = new TDock(&form, dpLeft);
    dock2->setObjectName(QStringLiteral("Dock2"));
    auto* dock3 = new TDock(&form, dpRight);
    dock3->setObjectName(QStringLiteral("Dock3"));
    form.addDock(dock1);
    form.addDock(dock2);
    form.addDock(dock3);

    auto* view = new QPlainTextEdit;
    view->setPlainText(QStringLiteral("Drag a toolbar by its handle: into another row, the left or right dock, "
                                      "or out into a floating window (hold Ctrl to float, Esc cancels).\n"
                                      "Double-click a handle to float a toolbar; double-click the floating "
                                      "caption to dock it back."));
    form.setCentralWidget(view);

    auto* toolbar3 = new TToolbar(dock1);
    toolbar3->setObjectName(QStringLiteral("Toolbar3"));
    toolbar3->setCaption(QStringLiteral("File"));
    button(toolbar3, "ToolbarButton6", QStringLiteral("全ｺﾒﾝﾄの保存"), glyphStrip(QColor(40, 120, 200), "A"));
    button(toolbar3, "ToolbarButton5", QStringLiteral("ｺﾒﾝﾄの保存"), glyphStrip(QColor(40, 120, 200), "S"));
    button(toolbar3, "ToolbarButton4", QStringLiteral("ｺﾒﾝﾄの削除"), glyphStrip(QColor(200, 60, 50), "D"));
    button(toolbar3, "ToolbarButton2", QStringLiteral("終了"), glyphStrip(QColor(90, 90, 90), "X"));

    auto* toolbar1 = new TToolbar(dock1);
    toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    toolbar1->setCaption(QStringLiteral("Category"));
    const QColor categoryTint(50, 150, 80);
    const char* categories[4][3] = {{"CommentBt", "お知らせ表示", "連"},
                                    {"MarketBt", "ﾏｰｹｯﾄ速報表示", "速"},
                                    {"WeekEndBt", "週末ｺﾒﾝﾄ表示", "週"},
                                    {"KessanBt", "決算修正率表示", "決"}};
    for (const auto& c : categories) {
        auto* b = button(toolbar1, c[0], QString::fromUtf8(c[1]), glyphStrip(categoryTint, QString::fromUtf8(c[2])));
        b->setGroupIndex(1);
    }
    toolbar1->findChild<TToolbarButton*>(QStringLiteral("MarketBt"))->setDown(true);

    auto* toolbar2 = new TToolbar(dock1);
    toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    toolbar2->setCaption(QStringLiteral("View"));
    auto* panel = new QWidget(toolbar2);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setToolTip(QStringLiteral("ﾌｫﾝﾄｻｲｽﾞ変更"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(0);
    auto* edit = new QLineEdit(QStringLiteral("12"), panel);
    edit->setReadOnly(true);
    edit->setFixedWidth(28);
    auto* spin = new QSpinBox(panel);
    spin->setRange(9, 30);
    spin->setSingleStep(3);
    spin->setValue(12);
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    spin->setFixedWidth(18);
    QObject::connect(spin, &QSpinBox::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
    row->addWidget(edit);
    row->addWidget(spin);
    panel->resize(50, 23);
    button(toolbar2, "ToolbarButton3", QStringLiteral("印刷"), glyphStrip(QColor(120, 80, 160), "P"));
    auto* trash = button(toolbar2, "ToolbarButton1", QString(), QPixmap(), 1, QSize(50, 22));
    trash->setCaption(QStringLiteral("ゴミ箱"));
    trash->hide();
    button(toolbar2, "ToolbarButton7", QStringLiteral("Brevonﾎｰﾑﾍﾟｰｼﾞ表示"), glyphStrip(QColor(220, 140, 30), "B"));
    button(toolbar2, "tesseraPageGo", QStringLiteral("tesseraﾎｰﾑﾍﾟｰｼﾞ表示"),
           glyphStrip(QColor(30, 160, 170), "T", 2).scaled(100, 18), 2, QSize(50, 25));

    toolbar3->setDockPos(0);
    toolbar1->setDockPos(137);
    toolbar2->setDockPos(274);
    setFormLoading(&form, false);

    form.setGeometry(40, 40, 640, 400);
    form.show();
    if (args.contains(QStringLiteral("--moved"))) {
        toolbar1->setDockedTo(dock2);
        toolbar2->floatAt(form.mapToGlobal(QPoint(260, 200)));
    }

    if (!grabFile.isEmpty()) {
        QTimer::singleShot(300, &form, [&] {
            form.grab().save(grabFile);
            app.quit();
        });
    }
    return app.exec();
}
