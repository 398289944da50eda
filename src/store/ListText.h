#pragma once
// The one-line list text of a comment file, built from its first two non-blank lines.

#include "store/MessageSink.h"

#include <string>
#include <string_view>

namespace store {

// "【無 題】" and the empty date column (22 half-width blanks), code page 932.
const std::string& untitledMarker();
inline constexpr std::size_t kDateColumnWidth = 22;
// A line longer than this is read as its head, cut on a character boundary.
inline constexpr std::size_t kListLineLimit = 1024;
// The head lines are looked for in at most this many bytes of a file: one without line ends (a
// sparse file of gigabytes, a flood of blank lines) is listed from what stands there.
inline constexpr std::size_t kHeadScanLimit = std::size_t{1} << 20;

// Full-width blanks become two half-width blanks; leading and trailing half-width blanks go.
std::string NormalizeLine(std::string_view line);

// Sets listText from the file at path for category k. A file that cannot be opened or read is
// reported through sink ("ｵｰﾌﾟﾝｴﾗｰ" / "読み込みｴﾗｰ") and listed as a file without lines:
// the untitled marker, or an earnings file's count alone. False after such an error. A pipe or a
// device counts as a file that cannot be opened.
// Reads only up to the second non-blank line, however large the file.
bool ReadListText(int k, const std::string& path, std::string& listText, MessageSink& sink);

// The same from a file the caller has open for reading and has found to be no pipe or device
// (fd < 0: it could not be opened, or is one).
bool ReadListText(int k, const std::string& path, int fd, std::string& listText, MessageSink& sink);

// The count an earnings file's name carries in characters 5 to 7 ("CKES123.DAT" -> 123);
// -1 when they are not three decimal digits.
int earningsCount(std::string_view fileName);

}  // namespace store
