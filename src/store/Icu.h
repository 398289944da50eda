#pragma once
// The few ICU functions of the search, bound on first use. Linked directly, ICU's libraries (and
// the C++ runtime they bring) were a tenth of a comment-list run that never searched.

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <functional>

namespace store::icu {

struct Functions {
    decltype(&::u_errorName) errorName;
    decltype(&::u_strFromUTF8WithSub) strFromUTF8WithSub;
    decltype(&::unorm2_getNFKCCasefoldInstance) getNFKCCasefoldInstance;
    decltype(&::unorm2_normalize) normalize;
    decltype(&::unorm2_hasBoundaryBefore) hasBoundaryBefore;
    decltype(&::unorm2_quickCheck) quickCheck;
    decltype(&::ucnv_open) open;
    decltype(&::ucnv_close) close;
    decltype(&::ucnv_reset) reset;
    decltype(&::ucnv_toUChars) toUChars;
};

// Loads ICU's common library the first time; throws std::runtime_error when it or one of the
// functions is missing (and tries again at the next use).
const Functions& functions();

// Replaces how the functions are bound, so that tests can see a missing or damaged ICU; an empty
// loader restores the library. The next use binds again.
void setLoader(std::function<Functions()> loader);

}  // namespace store::icu
