#include "store/Loader.h"

#include "platform/CommentFile.h"
#include "platform/ErrorText.h"
#include "platform/FileFind.h"
#include "platform/InPlaceOrder.h"
#include "platform/StopRequest.h"
#include "store/ListText.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace store {
namespace {

constexpr std::uint32_t kListed = 0;  // normal, read-only and archive files only

void warnTableFull(int k, MessageSink& sink)
{
    static const std::string title = shiftjis::fromUtf8("コメントの読み込みを中止します");
    static const std::string text = shiftjis::fromUtf8("コメントが保存設定件数を超えました。");
    static const std::string unneeded = shiftjis::fromUtf8("不要な");
    static const std::string advice = shiftjis::fromUtf8("コメントを削除するか、保存設定にて保存数を調整して下さい。");
    const std::string& l = label(k);
    sink.showMessage(l + title, l + text, unneeded + l + advice, kMessageRetentionNotice);
}

}  // namespace

namespace {

using Enumerate = std::function<void(const std::function<bool(const platform::FoundFile&, int fd)>&)>;

void loadBlock(CommentTable& table, const std::string& dir, int k, const settings::SettingsRecord& settings,
               MessageSink& sink, const Enumerate& enumerate)
{
    int n = 0;
    enumerate([&](const platform::FoundFile& f, int fd) {
        if (platform::stopRequested())
            return false;  // the program is ending: what is loaded stays as it is
        if (n == kBlockSize) {
            const auto i = static_cast<std::size_t>(k);
            if (!settings.delCmntInfo[i] && settings.maxCmntInfo[i] < kBlockSize + 1)
                warnTableFull(k, sink);
            return false;
        }
        ++n;
        TCmntInfo& e = table.entry(k, n);
        // One allocation: `dir + f.name` made two (the copy of the folder, then its growth).
        e.path.reserve(dir.size() + f.name.size());
        e.path.assign(dir).append(f.name);
        e.time = platform::toLocalDateTime(f.lastWrite);
        // A pipe or a device under a comment's name is listed as a file that cannot be opened.
        ReadListText(k, e.path, f.special ? -1 : fd, e.listText, sink);
        return true;
    });
    table.setCount(k, n);

    if (n > 1) {
        // The times sorted side by side with their places (one array read, not an entry's worth
        // of memory per comparison), equal times kept in listing order; then each entry is moved
        // once (platform::applyOrder).
        TCmntInfo* first = &table.entry(k, 1);
        std::vector<std::pair<double, int>> byTime(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            byTime[static_cast<std::size_t>(i)] = {first[i].time, i};
        // A merge sort: a quicksort mispredicted more of its comparisons and took longer.
        std::stable_sort(byTime.begin(), byTime.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        std::vector<int> order(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            order[static_cast<std::size_t>(i)] = byTime[static_cast<std::size_t>(i)].second;
        platform::applyOrder(first, order);
    }
}

}  // namespace

void LoadCategory(CommentTable& table, const CommentDirs& dirs, bool receivedMode, int k,
                  const settings::SettingsRecord& settings, MessageSink& sink)
{
    if (!isValidCategory(k))
        throw std::out_of_range("comment category " + std::to_string(k));
    const std::string& dir = receivedMode ? dirs.received : dirs.saved;
    loadBlock(table, dir, k, settings, sink,
              [&](const auto& visit) { platform::forEachFile(dir, filePattern(k), kListed, visit); });
}

bool ReportUnreadableReceived(const CommentDirs& dirs, MessageSink& sink)
{
    std::string dir = dirs.received;
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    const int error = errno;
    if (error == ENOENT)
        return false;  // nothing received yet: the suite makes the folder with its first comment
    const char* reason = nullptr;
    switch (error) {
    case EACCES:
    case EPERM: reason = "読み取りが許可されていません"; break;
    case ENOTDIR: {
        // A folder above it that is a file: the start has said already that the suite folder is missing.
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0)
            return false;
        reason = "フォルダではありません";
        break;
    }
    default: break;
    }
    sink.showMessage(shiftjis::fromUtf8("警告"),
                     shiftjis::fromUtf8("受信フォルダを読めません（") +
                         shiftjis::fromUtf8(reason ? reason : platform::errorReason(error)) +
                         shiftjis::fromUtf8("）。受信したコメントは表示されません。"),
                     shiftjis::fromUtf8(dir), kMessageError);
    return true;
}

std::array<std::size_t, kCategoryCount> LoadCategories(CommentTable& table, const CommentDirs& dirs,
                                                       bool receivedMode, const settings::SettingsRecord& settings,
                                                       MessageSink& sink)
{
    const std::string& dir = receivedMode ? dirs.received : dirs.saved;
    const platform::DirectoryListing listing(dir);
    std::array<std::size_t, kCategoryCount> names{};
    for (int k = 0; k < kCategoryCount; ++k) {
        loadBlock(table, dir, k, settings, sink, [&](const auto& visit) {
            names[static_cast<std::size_t>(k)] = platform::forEachFile(listing, filePattern(k), kListed, visit);
        });
    }
    return names;
}

}  // namespace store
