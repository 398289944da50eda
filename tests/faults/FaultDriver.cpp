// fault-driver: the save-all command of the main window without the window, for the crash trials.
//
//   fault-driver save-all RECEIVED SAVED   loads the four categories from RECEIVED as received mode
//                                          does, then moves every listed file to SAVED in one batch;
//                                          one "FAILED<TAB>source<TAB>target<TAB>error" line per file
//                                          that stayed; exit 1 when any did
//   fault-driver clean-up RECEIVED SAVED   what the next start does before loading
//
// With FAULT_READY_FD set, one byte is written to that descriptor right before the batch starts,
// so the harness times its kill from the start of the batch rather than from process start.

#include "platform/ShellFileOperation.h"
#include "settings/SettingsRecord.h"
#include "store/CommentTable.h"
#include "store/FileBatch.h"
#include "store/Loader.h"
#include "store/MessageSink.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class PrintingSink : public store::MessageSink {
public:
    void showMessage(const std::string& title, const std::string& text, const std::string& text2, int kind) override
    {
        std::printf("MESSAGE\t%d\t%s\t%s\t%s\n", kind, title.c_str(), text.c_str(), text2.c_str());
    }
};

std::string withSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

void signalReady()
{
    const char* fdText = std::getenv("FAULT_READY_FD");
    if (!fdText)
        return;
    const int fd = std::atoi(fdText);
    const char byte = 'R';
    if (::write(fd, &byte, 1) != 1)
        std::perror("fault-driver: ready signal");
    ::close(fd);
}

int saveAll(const store::CommentDirs& dirs)
{
    // The table is large (2000 entries); keep it off the stack as the window does.
    auto table = std::make_unique<store::CommentTable>();
    const settings::SettingsRecord settings;
    PrintingSink sink;
    for (int k = 0; k < store::kCategoryCount; ++k)
        store::LoadCategory(*table, dirs, true, k, settings, sink);

    // Received mode lists the categories one after the other, each newest first.
    store::FileBatch batch(store::BatchCommand::Save, dirs.saved);
    for (int k = 0; k < store::kCategoryCount; ++k)
        for (int n = 1; n <= table->count(k); ++n)
            batch.add(table->entry(k, n).path);

    signalReady();
    const platform::FileOpResult result = batch.run();
    for (const auto& f : result.failures)
        std::printf("FAILED\t%s\t%s\t%s\n", f.source.c_str(), f.target.c_str(),
                    platform::describeFileOpError(f.error).c_str());
    std::printf("BATCH\t%d files\t%zu failed\n", batch.size(), result.failures.size());
    return result.failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: fault-driver save-all|clean-up RECEIVED SAVED\n");
        return 2;
    }
    const std::string command = argv[1];
    const store::CommentDirs dirs{withSlash(argv[2]), withSlash(argv[3])};
    if (command == "save-all")
        return saveAll(dirs);
    if (command == "clean-up") {
        store::cleanUpInterruptedMoves(dirs);
        return 0;
    }
    std::fprintf(stderr, "fault-driver: unknown command %s\n", command.c_str());
    return 2;
}
