// TForm1: the toolbar arrangements of 画面 → ﾂｰﾙﾊﾞｰの整列, stored once beside the live layout
// and loaded by the menu items.

#include "ui/ComMain.h"

#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "host/BrevonApi.h"
#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/Library.h"
#include "platform/qt/Cp932.h"
#include "settings/SettingsStore.h"
#include "docking/ToolbarLayout.h"

#include <QAction>

#include <array>
#include <stdexcept>

namespace {

// Under the settings key, by the items' tags 1 (上に整列), 2 (左に整列) and 3 (右に整列).
enum Preset { Top, Left, Right, PresetCount };
constexpr std::array<const char*, PresetCount> kPresetKeys{"\\Default", "\\Default.Left", "\\Default.Right"};

QString presetKey(const QString& settingsKey, Preset preset)
{
    return settingsKey + QString::fromLatin1(kPresetKeys[preset]);
}

}  // namespace

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
    // One arrangement stands for the three: they are stored together.
    const std::string key = host::Host().settingsKey + kPresetKeys[Left] + "\\Toolbar1";
    const char* text = nullptr;
    read(key.c_str(), "Rev", &text);
    return text && *text;
}

void TForm1::CreateLayoutPresets()
{
    const QString s = settingsKey();
    docking::SaveToolbarLayout(this, s);
    docking::SaveToolbarLayout(this, presetKey(s, Top));
    for (docking::TDock* dock : {Dock2, Dock3}) {
        for (docking::TToolbar* bar : {Toolbar1, Toolbar2, Toolbar3})
            bar->setDockedTo(dock);
        for (docking::TToolbar* bar : {Toolbar2, Toolbar1, Toolbar3}) {
            bar->setDockRow(1);
            bar->setDockPos(0);
        }
        docking::SaveToolbarLayout(this, presetKey(s, dock == Dock2 ? Left : Right));
    }
}

// Into the settings' batch where BRVREG can take values under other keys: the suite's store, which
// may be megabytes, is then merged once at the close instead of twice. Else through the store of
// its own, flushed at once.
bool TForm1::saveLiveLayout()
{
    try {
        if (!backend_->canWriteUnderKey()) {
            docking::SaveToolbarLayout(this, settingsKey());
            return true;
        }
        bool stored = true;
        docking::SaveToolbarLayout(this, settingsKey(), [&](const QString& key, const QString& name, const QString& text) {
            stored = backend_->writeUnderKey(platform::toCp932(key), platform::toCp932(name), platform::toCp932(text)) &&
                     stored;
        });
        return stored;
    } catch (const std::exception&) {
        // Every tool window and dock here is named; nothing to report while the window goes.
        return true;
    }
}

void TForm1::Toolbar1DockStand(int tag)
{
    if (tag >= 1 && tag <= PresetCount)
        docking::LoadToolbarLayout(this, presetKey(settingsKey(), static_cast<Preset>(tag - 1)));
    for (docking::TToolbar* bar : {Toolbar1, Toolbar2, Toolbar3})
        bar->setVisible(true);
}

void TForm1::N3Click(QAction* sender) { Toolbar1DockStand(sender->data().toInt()); }
