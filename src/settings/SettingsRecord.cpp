#include "settings/SettingsRecord.h"

namespace settings {

SettingsRecord& Settings()
{
    static SettingsRecord record;
    return record;
}

}  // namespace settings
