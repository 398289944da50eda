#include "platform/ErrorText.h"

#include "platform/ShellFileOperation.h"

#include <cerrno>

namespace platform {

std::string errorReason(int error)
{
    switch (error) {
    case ENOENT: return "ファイルまたはフォルダが見つからない";
    case ENOTDIR: return "フォルダの途中がファイル";
    case EACCES:
    case EPERM: return "アクセスが許可されていない";
    case ENOSPC:
    case EDQUOT: return "ディスクの空きが足りない";
    case EFBIG: return "ファイルの大きさの上限を超える";
    case ENAMETOOLONG: return "ファイル名が長すぎる";
    case EROFS: return "読み取り専用のファイルシステム";
    case EBUSY:
    case ETXTBSY: return "ほかのプログラムが使用中";
    case EEXIST: return "同じ名前のファイルがすでにある";
    case EISDIR: return "フォルダになっている";
    case EIO: return "ディスクの読み書きに失敗した";
    case EMFILE:
    case ENFILE: return "開いているファイルが多すぎる";
    case kErrorSameFile: return "移動元と移動先が同じファイル";
    case kErrorSourceChanged: return "移動中にファイルが変わった（両方残してある）";
    default: return errorDetail(error);
    }
}

std::string errorDetail(int error) { return describeFileOpError(error); }

}  // namespace platform
