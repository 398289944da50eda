#pragma once
// An in-memory settings store that records the order of writes.

#include "settings/SettingsStore.h"

#include <map>
#include <string>
#include <vector>

class FakeSettingsBackend : public settings::SettingsBackend {
public:
    std::map<std::string, std::int32_t> integers;
    std::map<std::string, std::string> strings;
    std::vector<std::string> writes;
    bool failWrites = false;  // as a store that cannot be written: nothing is kept

    std::optional<std::int32_t> readInteger(const std::string& name) override
    {
        auto it = integers.find(name);
        if (it == integers.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<std::string> readString(const std::string& name) override
    {
        auto it = strings.find(name);
        if (it == strings.end())
            return std::nullopt;
        return it->second;
    }
    bool writeInteger(const std::string& name, std::int32_t value) override
    {
        writes.push_back(name);
        if (!failWrites)
            integers[name] = value;
        return !failWrites;
    }
    bool writeString(const std::string& name, const std::string& text) override
    {
        writes.push_back(name);
        if (!failWrites)
            strings[name] = text;
        return !failWrites;
    }
};
