#include "ui/StartupLoad.h"

#include "platform/StopRequest.h"
#include "store/FileBatch.h"
#include "store/Loader.h"
#include "store/Purge.h"

namespace ui {

StartupLoad::StartupLoad(store::CommentTable& table, const store::CommentDirs& dirs,
                         const settings::SettingsRecord& settings)
    : dirs_(dirs), settings_(settings)
{
    received_ = std::async(std::launch::async, [this, &table] {
        store::cleanUpInterruptedMoves(dirs_);
        store::PurgeCommentFiles(dirs_, settings_.maxCmntInfo, settings_.delCmntInfo);
        store::ReportUnreadableReceived(dirs_, recorded_);
        // Ended meanwhile (SIGTERM): nothing more is read; the window closes as soon as it is made.
        if (platform::stopRequested())
            return false;
        store::LoadCategories(table, dirs_, true, settings_, recorded_);
        if (!table.empty() || platform::stopRequested())
            return !table.empty();
        store::LoadCategories(table, dirs_, false, settings_, recorded_);
        return false;
    });
}

// A window whose construction failed still waits for the work, which writes into its table.
StartupLoad::~StartupLoad()
{
    if (received_.valid())
        received_.wait();
}

bool StartupLoad::finish(store::MessageSink& sink)
{
    const bool received = received_.get();
    for (const RecordingSink::Message& m : recorded_.messages)
        sink.showMessage(m.title, m.text, m.text2, m.kind);
    recorded_.messages.clear();
    return received;
}

}  // namespace ui
