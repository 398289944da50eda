#pragma once
// Code page 932 (Shift-JIS as Windows writes it) at the edge between byte strings and Qt text,
// and between the host's paths and this platform's file names.

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace platform {

QString fromCp932(std::string_view bytes);
std::string toCp932(QStringView text);
// Literal texts live in the source as UTF-8; this gives their code page 932 bytes.
std::string cp932(const char* utf8);

// Paths cross the host interface as code page 932 bytes, while the file system here names files in
// UTF-8. Each direction gives nullopt when the path has no form on the other side: a look-alike
// would name a file that does not exist.
std::optional<std::string> fileNameFromHost(std::string_view hostPath);
std::optional<std::string> hostPathFromFileName(std::string_view fileName);

// A file name as people read it, whatever its bytes.
QString displayFileName(std::string_view fileName);

}  // namespace platform
