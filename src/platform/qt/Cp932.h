#pragma once
// Code page 932 (Shift-JIS as Windows writes it) at the edge between byte strings and Qt text.

#include <QString>

#include <string>
#include <string_view>

namespace platform {

QString fromCp932(std::string_view bytes);
std::string toCp932(QStringView text);
// Literal texts live in the source as UTF-8; this gives their code page 932 bytes.
std::string cp932(const char* utf8);

}  // namespace platform
