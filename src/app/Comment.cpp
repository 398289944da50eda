// Comment: the comment viewer of the Brevon suite (program number 12).

#include "app/InitHostInfo.h"
#include "app/PlatformChoice.h"
#include "app/QtTranslations.h"
#include "app/QuitOnSignal.h"
#include "app/SuiteMissing.h"
#include "platform/StopRequest.h"
#include "host/HostInfo.h"
#include "host/HostLibrary.h"
#include "platform/NamedMutex.h"
#include "platform/qt/WinHelp.h"
#include "ui/AccessibleControls.h"
#include "ui/ComMain.h"
#include "ui/FrameworkError.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The window system is chosen before Qt loads its plugin.
    app::preferX11UnderXWayland(argc, argv);
    // The message boxes of a failed start need the GUI; nothing of the program's own runs before.
    ui::Application application(argc, argv);
    app::quitOnTerminationSignals(&application);
    app::installQtTranslations(application);
    ui::installAccessibleInterfaces();

    if (!app::InitHostInfo())
        return 0;
    if (!host::BindSettingsFunctions())
        return 0;
    app::FormDirectories();

    platform::NamedMutex mutex(host::Host().mutexName);
    if (!mutex.firstInstance())
        return 0;  // another instance runs: end at once, silently

    app::tellWhenSuiteIsMissing(host::Host());
    platform::setApplicationHelpFile(QStringLiteral("Comment.hlp"));
    {
        TForm1 form;
        // The session ended while the window was being made: it closes (settings written) unseen.
        if (!platform::stopRequested()) {
            form.show();
            app::messageLoopStarts();
            application.exec();
        }
    }
    mutex.release();
    return 0;
}
