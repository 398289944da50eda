// The toolbar layout reader fed an arbitrary settings store: the input is the store file itself
// (the INI text the registry stand-in keeps). Whatever it holds, every toolbar ends up in one of the
// form's docks or floating, a docked one at a row and position its dock has fitted (negative and
// extreme stored rows reach the dock's arithmetic); and the layout it leaves, saved and loaded into a
// fresh form, gives the same docks, floating state and visibility.

#include "FuzzSupport.h"
#include "docking/DockHost.h"
#include "docking/TCustomToolWindow.h"
#include "docking/TDock.h"
#include "docking/ToolbarLayout.h"
#include "support/FormWithDocks.h"

#include <QApplication>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const QString kKey = QStringLiteral("Software\\Brevon\\Comment");
const QString kRoundTripKey = QStringLiteral("Software\\Brevon\\FuzzRoundTrip");

// The main window's arrangement: three docks, three toolbars designed in the top one.
std::unique_ptr<docking::DockHost> makeForm() { return testsupport::formWithDocks(QRect(50, 50, 640, 400)).form; }

struct Place {
    QString dock;
    bool floating;
    bool visible;
    bool operator==(const Place&) const = default;
};

std::vector<Place> placesOf(const QWidget* form)
{
    std::vector<Place> out;
    const auto docks = docking::docksOf(form);
    for (const docking::TCustomToolWindow* tw : docking::toolWindowsOf(form)) {
        const docking::TDock* dock = tw->dockedTo();
        if (dock && !docks.contains(const_cast<docking::TDock*>(dock)))
            fuzz::fail("a toolbar sits in a dock that is not the form's");
        if (!dock && !tw->isFloating())
            fuzz::fail("a toolbar is neither docked nor floating");
        // Whatever row or position was stored, the dock has fitted it into its rows.
        if (dock && tw->isToolWindowVisible() && (tw->dockRow() < 0 || tw->dockPos() < 0))
            fuzz::fail("a docked toolbar kept a negative row or position");
        out.push_back({dock ? dock->objectName() : QString(), tw->isFloating(), tw->isToolWindowVisible()});
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("BREVON_REGISTRY", (fuzz::scratchDir() + "registry.ini").c_str(), 1);
    new QApplication(*argc, *argv);  // lives until the process ends
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::writeFile(fuzz::scratchDir() + "registry.ini", std::string_view(reinterpret_cast<const char*>(data), size));
    auto form = makeForm();
    docking::LoadToolbarLayout(form.get(), kKey);
    QApplication::processEvents();
    const std::vector<Place> loaded = placesOf(form.get());

    docking::SaveToolbarLayout(form.get(), kRoundTripKey);
    auto fresh = makeForm();
    docking::LoadToolbarLayout(fresh.get(), kRoundTripKey);
    QApplication::processEvents();
    if (placesOf(fresh.get()) != loaded)
        fuzz::fail("a saved layout loads back in other docks");
    return 0;
}
