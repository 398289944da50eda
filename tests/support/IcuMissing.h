#pragma once
// While it lives, loading ICU fails as on a machine whose ICU is missing or damaged.

#include "store/Icu.h"

#include <stdexcept>

namespace support {

struct IcuMissing {
    IcuMissing()
    {
        store::icu::setLoader([]() -> store::icu::Functions { throw std::runtime_error(kWhy); });
    }
    ~IcuMissing() { store::icu::setLoader({}); }
    IcuMissing(const IcuMissing&) = delete;
    IcuMissing& operator=(const IcuMissing&) = delete;

    static constexpr const char* kWhy = "cannot load libicuuc.so.99";
};

}  // namespace support
