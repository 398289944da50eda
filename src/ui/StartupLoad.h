#pragma once
// The comment files as start-up needs them: moves a crash interrupted cleaned up, the retention
// purge, then the received comments loaded, or the saved ones when nothing was received. This runs
// beside the GUI thread while the main window is being built, which takes as long; the loader's
// messages wait for the GUI thread and are shown, in their order, when the window asks for the result.

#include "settings/SettingsRecord.h"
#include "store/Categories.h"
#include "store/CommentTable.h"
#include "store/MessageSink.h"

#include <future>
#include <string>
#include <vector>

namespace ui {

class StartupLoad {
public:
    // `table` is not to be touched until finish() has returned.
    StartupLoad(store::CommentTable& table, const store::CommentDirs& dirs, const settings::SettingsRecord& settings);
    ~StartupLoad();
    StartupLoad(const StartupLoad&) = delete;
    StartupLoad& operator=(const StartupLoad&) = delete;

    // Waits for the work, shows its messages through `sink` and tells whether comments were
    // received (received mode). A failure of the work is thrown here.
    bool finish(store::MessageSink& sink);

private:
    class RecordingSink : public store::MessageSink {
    public:
        struct Message {
            std::string title, text, text2;
            int kind;
        };
        void showMessage(const std::string& title, const std::string& text, const std::string& text2, int kind) override
        {
            messages.push_back({title, text, text2, kind});
        }
        std::vector<Message> messages;
    };

    store::CommentDirs dirs_;
    settings::SettingsRecord settings_;
    RecordingSink recorded_;
    std::future<bool> received_;
};

}  // namespace ui
