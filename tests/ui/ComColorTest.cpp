#include "platform/qt/WinHelp.h"
#include "ui/ColorValue.h"
#include "ui/ComColor.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace {

using testsupport::app;

void whenModal(std::function<void(TForm3&)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = dynamic_cast<TForm3*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start(10);
}

// A colour chooser that answers from a script and remembers where each opening started.
struct ScriptedChooser {
    std::deque<std::optional<QColor>> answers;
    std::vector<QColor> openedOn;

    TForm3::ColorChooser function()
    {
        return [this](QWidget*, const QColor& initial) {
            openedOn.push_back(initial);
            std::optional<QColor> answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }
};

QColor background(const QWidget* panel) { return panel->palette().color(QPalette::Window); }

QColor textColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

class ComColorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        record = settings::SettingsRecord{};
    }
    settings::SettingsRecord record;
    ScriptedChooser chooser;
};

}  // namespace

TEST_F(ComColorTest, OpensWithTheSettingsColoursOnItsSamples)
{
    TForm3 form(nullptr, record, chooser.function());
    EXPECT_EQ(form.Label4->text(),
              QStringLiteral("今週の日経平均終値は00000円 前週末比\r主要国で一番強かったのは米国で戻り率"));
    EXPECT_EQ(form.Button1->property("Tag").toInt(), 1);
    EXPECT_EQ(form.Button4->property("Tag").toInt(), 4);

    // Defaults: both samples on the window background with black text, as the main window shows them.
    const QColor window = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(background(form.Panel1), window);
    EXPECT_EQ(background(form.Panel2), window);
    EXPECT_EQ(textColor(form.Label3), QColor(Qt::black));
    EXPECT_EQ(textColor(form.Label4), QColor(Qt::black));

    record.clTitleBack = 0x00FF0000;
    record.clMainFont = 0x0000FF00;
    TForm3 coloured(nullptr, record, chooser.function());
    EXPECT_EQ(background(coloured.Panel1), QColor(0, 0, 255));
    EXPECT_EQ(textColor(coloured.Label4), QColor(0, 255, 0));
}

TEST_F(ComColorTest, EachButtonChangesItsOwnWorkingCopyAndTheChooserStartsFromTheLastPick)
{
    chooser.answers = {QColor(10, 20, 30), std::nullopt, QColor(40, 50, 60), QColor(70, 80, 90), QColor(1, 2, 3)};
    TForm3 form(nullptr, record, chooser.function());

    form.Button2->click();  // heading background
    EXPECT_EQ(background(form.Panel1), QColor(10, 20, 30));
    EXPECT_EQ(form.titleBack(), 0x001E140A);
    form.Button3->click();  // cancelled: nothing changes
    EXPECT_EQ(form.mainFont(), 0);
    form.Button3->click();  // body text
    EXPECT_EQ(textColor(form.Label4), QColor(40, 50, 60));
    EXPECT_EQ(form.mainFont(), 0x003C3228);
    form.Button1->click();  // heading text
    EXPECT_EQ(textColor(form.Label3), QColor(70, 80, 90));
    form.Button4->click();  // body background
    EXPECT_EQ(background(form.Panel2), QColor(1, 2, 3));
    EXPECT_EQ(form.mainBack(), 0x00030201);

    // Black first, then the colour last returned, whichever button opens it; a cancel returns none.
    ASSERT_EQ(chooser.openedOn.size(), 5u);
    EXPECT_EQ(chooser.openedOn[0], QColor(Qt::black));
    EXPECT_EQ(chooser.openedOn[1], QColor(10, 20, 30));
    EXPECT_EQ(chooser.openedOn[2], QColor(10, 20, 30));
    EXPECT_EQ(chooser.openedOn[3], QColor(40, 50, 60));
    EXPECT_EQ(chooser.openedOn[4], QColor(70, 80, 90));

    // A new opening starts at black again.
    chooser.answers = {std::nullopt};
    TForm3 again(nullptr, record, chooser.function());
    again.Button1->click();
    EXPECT_EQ(chooser.openedOn.back(), QColor(Qt::black));
}

TEST_F(ComColorTest, CancelKeepsTheSettingsAndOkStoresExplicitValues)
{
    const settings::SettingsRecord before = record;
    chooser.answers = {QColor(200, 0, 0)};
    whenModal([](TForm3& d) {
        d.Button1->click();
        d.BitBtn2->click();
    });
    EXPECT_FALSE(ui::runColorDialog(nullptr, record, chooser.function()));
    EXPECT_EQ(record.clTitleFont, before.clTitleFont);
    EXPECT_EQ(record.clTitleBack, before.clTitleBack);

    // The window background picked by hand is stored explicitly; the untouched body background
    // stays the system colour.
    const QColor window = QApplication::palette().color(QPalette::Base);
    chooser.answers = {window, QColor(0, 0, 128)};
    whenModal([](TForm3& d) {
        d.Button2->click();
        d.Button3->click();
        d.BitBtn1->click();
    });
    EXPECT_TRUE(ui::runColorDialog(nullptr, record, chooser.function()));
    EXPECT_EQ(record.clTitleBack, ui::valueFromColor(window));
    EXPECT_FALSE(ui::isSystemColor(record.clTitleBack));
    EXPECT_EQ(record.clMainFont, 0x00800000);
    EXPECT_EQ(record.clMainBack, settings::kSystemWindowColor);
    EXPECT_EQ(record.clTitleFont, 0);
}

TEST_F(ComColorTest, HelpButtonOpensTheColourTopicAndTheDialogStaysOpen)
{
    TForm3 form(nullptr, record, chooser.function());
    form.show();
    form.BitBtn3->click();
    EXPECT_TRUE(form.isVisible());
    ASSERT_NE(platform::helpWindow(), nullptr);
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("colors.html"));
    platform::WinHelp(platform::HELP_QUIT, 0);
}
