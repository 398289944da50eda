#include "support/FormWithDocks.h"
#include "support/TestApplication.h"

#include "docking/DockHost.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/ToolbarLayout.h"
#include "platform/qt/Registry.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace docking;
using docking::LoadToolbarLayout;
using docking::SaveToolbarLayout;

namespace {

const QString kKey = QStringLiteral("Software\\Brevon\\Comment");

struct Place {
    TDock* dock;
    bool floating;
    int row, pos;
    bool visible;
    QPoint floatAt;
    bool operator==(const Place&) const = default;
};

class ToolbarLayoutTest : public ::testing::Test, protected testsupport::FormWithDocks {
protected:
    void SetUp() override
    {
        testsupport::app();
        ASSERT_TRUE(dir.isValid());
        qputenv("BREVON_REGISTRY", dir.filePath(QStringLiteral("registry.ini")).toUtf8());
        static_cast<FormWithDocks&>(*this) = testsupport::formWithDocks(QRect(50, 50, 600, 400));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void TearDown() override { qunsetenv("BREVON_REGISTRY"); }

    static Place placeOf(const TCustomToolWindow* tw)
    {
        return {tw->dockedTo(), tw->isFloating(),          tw->dockRow(),
                tw->dockPos(),  tw->isToolWindowVisible(), tw->isFloating() ? tw->floatingPosition() : QPoint()};
    }

    std::vector<Place> places() const { return {placeOf(toolbar1), placeOf(toolbar2), placeOf(toolbar3)}; }

    static QString value(const QString& toolbar, const char* name)
    {
        const platform::Registry reg;
        return reg.read(kKey + QStringLiteral("\\") + toolbar, QLatin1String(name)).value_or(QStringLiteral("<none>"));
    }

    static void write(const QString& toolbar, const char* name, const QString& text)
    {
        platform::Registry reg;
        reg.write(kKey + QStringLiteral("\\") + toolbar, QLatin1String(name), text);
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(ToolbarLayoutTest, StoresEveryValueAsDecimalText)
{
    toolbar2->setVisible(false);
    toolbar3->floatAt(QPoint(320, 240));
    SaveToolbarLayout(form.get(), kKey);

    EXPECT_EQ(value("Toolbar1", "Rev"), "3");
    EXPECT_EQ(value("Toolbar1", "Visible"), "1");
    EXPECT_EQ(value("Toolbar1", "DockedTo"), "Dock1");
    EXPECT_EQ(value("Toolbar1", "LastDock"), "Dock1");
    EXPECT_EQ(value("Toolbar1", "DockRow"), "0");
    EXPECT_EQ(value("Toolbar1", "DockPos"), "137");
    EXPECT_EQ(value("Toolbar2", "Visible"), "0");
    EXPECT_EQ(value("Toolbar3", "DockedTo"), "+");
    EXPECT_EQ(value("Toolbar3", "FloatLeft"), "320");
    EXPECT_EQ(value("Toolbar3", "FloatTop"), "240");
    EXPECT_EQ(value("Toolbar3", "FloatRightX"), QString::number(320 + toolbar3->floatingWindowSize().width()));

    // A dock that does not allow dragging is not recorded.
    dock1->setAllowDrag(false);
    SaveToolbarLayout(form.get(), kKey);
    EXPECT_EQ(value("Toolbar1", "DockedTo"), "");
}

TEST_F(ToolbarLayoutTest, LoadingRestoresTheSavedArrangement)
{
    toolbar1->setDockedTo(dock2);
    toolbar2->setDockRow(1);
    toolbar2->setDockPos(40);
    toolbar3->floatAt(QPoint(300, 200));
    SaveToolbarLayout(form.get(), kKey);
    const std::vector<Place> saved = places();

    toolbar1->setDockedTo(dock3);
    toolbar2->setVisible(false);
    toolbar2->setDockRow(0);
    toolbar3->setDockedTo(dock1);
    LoadToolbarLayout(form.get(), kKey);
    EXPECT_EQ(places(), saved);
    EXPECT_EQ(toolbar3->lastDock(), dock1);
    EXPECT_EQ(toolbar2->x(), 40);
    for (TDock* d : {dock1, dock2, dock3})
        EXPECT_EQ(d->suspendCount(), 0);
}

TEST_F(ToolbarLayoutTest, UnknownRevisionsAndMissingDocksLeaveTheToolbarInPlace)
{
    SaveToolbarLayout(form.get(), kKey);
    const std::vector<Place> before = places();
    write("Toolbar1", "Rev", "4");
    write("Toolbar1", "DockedTo", "Dock2");
    write("Toolbar2", "Rev", "2");
    write("Toolbar2", "Visible", "0");
    write("Toolbar2", "DockedTo", "dock2");  // names are compared with their case
    write("Toolbar3", "DockedTo", "");
    write("Toolbar3", "Visible", "zero");  // not a number: the current visibility stays
    LoadToolbarLayout(form.get(), kKey);
    EXPECT_EQ(placeOf(toolbar1), before[0]);
    EXPECT_EQ(toolbar2->dockedTo(), dock1);
    EXPECT_FALSE(toolbar2->isToolWindowVisible());
    EXPECT_EQ(placeOf(toolbar3), before[2]);

    // Rev 2 floats, but keeps its last dock whatever the stored one says.
    write("Toolbar3", "DockedTo", "+");
    write("Toolbar3", "FloatLeft", "210");
    write("Toolbar3", "FloatTop", "220");
    write("Toolbar3", "LastDock", "Dock3");
    write("Toolbar3", "Rev", "2");
    LoadToolbarLayout(form.get(), kKey);
    EXPECT_TRUE(toolbar3->isFloating());
    EXPECT_EQ(toolbar3->floatingPosition(), QPoint(210, 220));
    EXPECT_EQ(toolbar3->lastDock(), dock1);
    write("Toolbar3", "Rev", "3");
    LoadToolbarLayout(form.get(), kKey);
    EXPECT_EQ(toolbar3->lastDock(), dock3);
}

TEST_F(ToolbarLayoutTest, NamelessToolWindowsAndDocksCannotBeStored)
{
    dock1->setObjectName(QString());
    try {
        SaveToolbarLayout(form.get(), kKey);
        FAIL() << "saved with a nameless dock";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot save tool window's position because DockedTo's Name property not set");
    }
    dock1->setObjectName(QStringLiteral("Dock1"));
    toolbar1->setObjectName(QString());
    for (auto op : {&SaveToolbarLayout, &LoadToolbarLayout}) {
        try {
            op(form.get(), kKey);
            FAIL() << "accepted a nameless toolbar";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Cannot save tool window's position because Name property is not set");
        }
    }
    for (TDock* d : {dock2, dock3})
        EXPECT_EQ(d->suspendCount(), 0);
}

TEST_F(ToolbarLayoutTest, LayoutsLeftByScriptedDragsComeBackIdentically)
{
    const auto drag = [](TCustomToolWindow* tw, QWidget* pressOn, QPoint grab, QPoint screen) {
        QTest::mousePress(pressOn, Qt::LeftButton, {}, grab);
        QTest::mouseMove(pressOn, pressOn->mapFromGlobal(screen));
        ASSERT_TRUE(tw->isDragging());
        QTest::mouseRelease(pressOn, Qt::LeftButton, {}, pressOn->mapFromGlobal(screen));
    };
    const auto settle = [this] {
        // Stored places are in pixels: compare once every dock has its final size, that is once a
        // turn of the event loop (posted layouts, zero-time timers) changes no dock and no place.
        using Sample = std::pair<std::vector<Place>, std::vector<QRect>>;
        const auto sample = [this] {
            return Sample{places(), {dock1->geometry(), dock2->geometry(), dock3->geometry()}};
        };
        Sample last;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                Sample now = sample();
                const bool same = now == last;
                last = std::move(now);
                return same;
            },
            5000));
        return last.first;
    };

    drag(toolbar1, toolbar1, {4, 10}, dock2->mapToGlobal(QPoint(0, 40)));
    ASSERT_EQ(toolbar1->dockedTo(), dock2);
    const std::vector<Place> inLeftDock = settle();
    SaveToolbarLayout(form.get(), kKey + QStringLiteral("\\A"));

    drag(toolbar1, toolbar1, {10, 4}, form->mapToGlobal(QPoint(300, 250)));
    ASSERT_TRUE(toolbar1->isFloating());
    const std::vector<Place> floating = settle();
    SaveToolbarLayout(form.get(), kKey + QStringLiteral("\\B"));

    QWidget* window = toolbar1->parentWidget();
    drag(toolbar1, window, {20, 8}, dock1->mapToGlobal(QPoint(500, 14)));
    ASSERT_EQ(toolbar1->dockedTo(), dock1);
    const std::vector<Place> backOnTop = settle();
    SaveToolbarLayout(form.get(), kKey + QStringLiteral("\\C"));

    LoadToolbarLayout(form.get(), kKey + QStringLiteral("\\A"));
    EXPECT_EQ(settle(), inLeftDock);
    LoadToolbarLayout(form.get(), kKey + QStringLiteral("\\B"));
    EXPECT_EQ(settle(), floating);
    EXPECT_EQ(toolbar1->parentWidget()->pos(), floating[0].floatAt);
    LoadToolbarLayout(form.get(), kKey + QStringLiteral("\\C"));
    EXPECT_EQ(settle(), backOnTop);
    EXPECT_EQ(toolbar1->dockedTo(), dock1);
}
