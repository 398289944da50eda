#include "docking/ToolbarLayout.h"

#include "docking/FormComponents.h"
#include "docking/TCustomToolWindow.h"
#include "docking/TDock.h"
#include "platform/qt/Registry.h"

#include <QWidget>

#include <stdexcept>

namespace docking {
namespace {

using docking::TCustomToolWindow;
using docking::TDock;

constexpr int kLayoutRevision = 3;

QString subKey(const QString& key, const TCustomToolWindow* tw)
{
    if (tw->objectName().isEmpty())
        throw std::runtime_error("Cannot save tool window's position because Name property is not set");
    return key + QLatin1Char('\\') + tw->objectName();
}

// Docks are suspended while a layout is applied, so each arranges once with everything in place;
// they resume in reverse order, also when applying fails half way.
class SuspendedDocks {
public:
    explicit SuspendedDocks(const QWidget* form) : docks_(docking::docksOf(form))
    {
        for (TDock* d : docks_)
            d->suspendArrange();
    }
    ~SuspendedDocks()
    {
        for (auto it = docks_.rbegin(); it != docks_.rend(); ++it)
            (*it)->resumeArrange();
    }
    SuspendedDocks(const SuspendedDocks&) = delete;
    SuspendedDocks& operator=(const SuspendedDocks&) = delete;

private:
    QList<TDock*> docks_;
};

}  // namespace

void SaveToolbarLayout(QWidget* form, const QString& key)
{
    platform::Registry reg;
    SaveToolbarLayout(form, key, [&reg](const QString& sub, const QString& name, const QString& text) {
        reg.write(sub, name, text);
    });
}

void SaveToolbarLayout(QWidget* form, const QString& key, const LayoutWriter& write)
{
    for (TCustomToolWindow* tw : docking::toolWindowsOf(form)) {
        const QString sub = subKey(key, tw);
        QString dockedTo;
        if (TDock* dock = tw->dockedTo()) {
            if (dock->allowDrag()) {
                if (dock->objectName().isEmpty())
                    throw std::runtime_error(
                        "Cannot save tool window's position because DockedTo's Name property not set");
                dockedTo = dock->objectName();
            }
        } else {
            dockedTo = QStringLiteral("+");
        }
        const TDock* last = tw->lastDock();
        const auto number = [](int v) { return QString::number(v); };
        write(sub, QStringLiteral("Rev"), number(kLayoutRevision));
        write(sub, QStringLiteral("Visible"), number(tw->isToolWindowVisible() ? 1 : 0));
        write(sub, QStringLiteral("DockedTo"), dockedTo);
        write(sub, QStringLiteral("LastDock"), last ? last->objectName() : QString());
        write(sub, QStringLiteral("DockRow"), number(tw->dockRow()));
        write(sub, QStringLiteral("DockPos"), number(tw->dockPos()));
        // Only a place measured on the screen is kept: a position no one could see would put the
        // toolbar somewhere else at the next start where places are known.
        if (TCustomToolWindow::windowPlacesKnown()) {
            write(sub, QStringLiteral("FloatLeft"), number(tw->floatingPosition().x()));
            write(sub, QStringLiteral("FloatTop"), number(tw->floatingPosition().y()));
            write(sub, QStringLiteral("FloatRightX"), number(tw->floatRightX()));
        }
    }
}

void LoadToolbarLayout(QWidget* form, const QString& key)
{
    const platform::Registry reg;
    const SuspendedDocks suspended(form);
    for (TCustomToolWindow* tw : docking::toolWindowsOf(form)) {
        const QString sub = subKey(key, tw);
        const auto integer = [&](const char* name, int fallback) {
            return platform::toInt32(reg.read(sub, QLatin1String(name))).value_or(fallback);
        };
        const int rev = integer("Rev", 0);
        if (rev != 2 && rev != 3)
            continue;
        tw->setVisible(integer("Visible", tw->isToolWindowVisible() ? 1 : 0) != 0);

        const QString dockedTo = reg.read(sub, QStringLiteral("DockedTo")).value_or(QString());
        if (dockedTo.isEmpty())
            continue;
        TDock* dock = nullptr;
        if (dockedTo != QLatin1String("+")) {
            dock = docking::findDock(form, dockedTo);
            if (!dock || !dock->allowDrag())
                continue;
        }

        tw->setDockRow(integer("DockRow", tw->dockRow()));
        tw->setDockPos(integer("DockPos", tw->dockPos()));
        const QPoint floatAt(integer("FloatLeft", 0), integer("FloatTop", 0));
        tw->setFloatingPosition(floatAt);
        tw->setFloatRightX(integer("FloatRightX", 0));
        if (dock) {
            tw->setDockedTo(dock);
            continue;
        }
        tw->floatAt(floatAt);
        tw->setFloatRightX(integer("FloatRightX", 0));
        if (rev > 2 && tw->useLastDock()) {
            const QString last = reg.read(sub, QStringLiteral("LastDock")).value_or(QString());
            if (TDock* lastDock = docking::findDock(form, last))
                tw->setLastDock(lastDock);
        }
    }
}

}  // namespace docking
