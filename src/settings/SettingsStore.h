#pragma once
// Reading the settings record once at start and writing it back once at exit, through the host's
// settings operations for program 12 (or a fake backend in tests).

#include "settings/SettingsRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace settings {

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<std::int32_t> readInteger(const std::string& name) = 0;
    virtual std::optional<std::string> readString(const std::string& name) = 0;
    // True when the value was stored.
    virtual bool writeInteger(const std::string& name, std::int32_t value) = 0;
    virtual bool writeString(const std::string& name, const std::string& text) = 0;
    // The writes between these two may be stored together (false from endWrites when they could
    // not be); a backend without such a batch stores each at once.
    virtual void beginWrites() {}
    virtual bool endWrites() { return true; }
    // A text value under another key of the store, into the open batch, where the backend can:
    // the values of that key are then stored in the same write as the settings.
    virtual bool canWriteUnderKey() const { return false; }
    virtual bool writeUnderKey(const std::string& /*key*/, const std::string& /*name*/, const std::string& /*text*/)
    {
        return false;
    }
};

// The host's BrevonReg* operations with program number 12.
class HostSettingsBackend final : public SettingsBackend {
public:
    std::optional<std::int32_t> readInteger(const std::string& name) override;
    std::optional<std::string> readString(const std::string& name) override;
    bool writeInteger(const std::string& name, std::int32_t value) override;
    bool writeString(const std::string& name, const std::string& text) override;
    // Through BrevonRegBeginWrite / BrevonRegEndWrite where the host has them: one merge into a
    // store the whole suite shares, however large, instead of one per value.
    void beginWrites() override;
    bool endWrites() override;
    // Through GeneralRegWriteString, within a batch of a BRVREG that has both.
    bool canWriteUnderKey() const override;
    bool writeUnderKey(const std::string& key, const std::string& name, const std::string& text) override;

private:
    bool batching_ = false;
};

// What WriteSettings takes from the main window at the moment it runs.
struct MainWindowState {
    int top = 0, left = 0, width = 0, height = 0;
    int listHeight = 0;
    std::string fontSizeText;  // the text of the font-size box
    int currentCategory = 0;
};

// The defaults of the two web addresses, under a reserved example domain.
inline constexpr const char* kDefaultHomePageUrl = "https://www.brevon.example/";
inline constexpr const char* kDefaultTsrPageUrl = "https://www.brevon.example/tessera/?id=";

void ReadSettings(SettingsBackend& backend, SettingsRecord& record);
// False when a value could not be stored (the font-size text that is no integer is no failure).
// `alongside`, when given, runs after the values are written and before the batch ends: writes of
// its own through the backend's writeUnderKey reach the store with them.
bool WriteSettings(SettingsBackend& backend, const SettingsRecord& record, const MainWindowState& window,
                   const std::function<void()>& alongside = {});

// The close's one message when the settings or the toolbar layout could not be stored: the store's
// path and why, through the host's message box. The store keeps what it held before.
void ShowUnwritableSettings();

// A font-size text as the original conversion takes it: optional blanks, optional sign, decimal
// digits, within 32 bits; nullopt otherwise.
std::optional<std::int32_t> parseInteger(const std::string& text);

}  // namespace settings
