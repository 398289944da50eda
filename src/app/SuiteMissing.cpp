#include "app/SuiteMissing.h"

#include "host/HostLibrary.h"
#include "platform/qt/Cp932.h"

#include <sys/stat.h>

#include <string>

namespace app {

void tellWhenSuiteIsMissing(const host::HostInfo& info)
{
    struct stat st {};
    if (::stat(info.suiteDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    std::string folder = info.suiteDir;
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::string text = platform::toCp932(platform::displayFileName(folder)) + host::kNotFoundSuffix;
    const std::string text2 = platform::cp932(
        "コメントはこのフォルダの RecvData と Result/COMMENT から読みます。"
        "別のフォルダを使うには、環境変数 BREVON_HOME にそのフォルダを指定して起動してください。");
    host::ShowHostMessage(info.windowTitle, text, text2, 0, 2, 0);
}

}  // namespace app
