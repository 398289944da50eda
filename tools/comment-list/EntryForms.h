#pragma once
// How comment-list writes one entry, once for the listing and --watch alike.
//
// Lines: category, local time, list text and path, tab-separated. Every field is escaped so that
// it can be turned back into its exact bytes: "\\" for a backslash, "\t", "\n", "\r", and "\xNN"
// for the byte NN where it is another control character (C0, DEL, a C1 control's two bytes) or
// not part of valid UTF-8. A comment cannot drive the terminal, and two names never print alike.
// Json: one object; "time" carries the local offset; "path" is text, and where the name is not
// valid UTF-8 "path_bytes" holds its exact bytes in base64 ("path" then has U+FFFD for them).
// NullPaths: the path alone, as it is, ended by a NUL byte (find -print0).

#include "store/CommentTable.h"

#include <string>
#include <string_view>

namespace commentlist {

enum class Form { Lines, Json, NullPaths };

// One entry of category k in `form`, without what ends it: the form's separator comes from
// the caller (a line feed, a NUL, or the comma between the objects of a JSON array).
void appendEntry(std::string& out, Form form, int k, const store::TCmntInfo& entry);

// What ends an entry on a stream of its own (--watch): a line feed, or a NUL for NullPaths.
char entryEnd(Form form);

// The entry as --watch writes it, ended.
std::string entryLine(int k, const store::TCmntInfo& entry, Form form);

// `bytes` as a JSON member "name":"text", with "name_bytes":"base64" after it when the bytes
// are not valid UTF-8.
void appendJsonName(std::string& out, std::string_view name, std::string_view bytes);

// Valid UTF-8: no stray byte, no overlong form, no surrogate.
bool isUtf8(std::string_view s);

// The escaping of the Lines form, for one field.
void appendEscaped(std::string& out, std::string_view field);

// Whether the escaping changes anything in text converted from code page 932: such text is valid
// UTF-8 whose only characters below U+00A0 are ASCII, so only the ASCII bytes need a look.
bool convertedNeedsEscaping(std::string_view utf8);

// The plain twins the fuzz target holds the two above to, a unit at a time: the escaping without
// the quick test for common text, and where the first unit it changes starts (npos: none).
void appendEscapedPlain(std::string& out, std::string_view field);
std::size_t firstToEscape(std::string_view field);

}  // namespace commentlist
