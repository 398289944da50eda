#pragma once
// Where the store's messages go. The program connects it to ShowHostMessage (the fourth and
// sixth values are always 0 for these messages); tests record what arrives.

#include <string>

namespace store {

// Message kinds of the host message box.
inline constexpr int kMessageCloseWarning = 0;
inline constexpr int kMessageError = 1;
inline constexpr int kMessageRetentionNotice = 2;

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // All texts are code page 932 bytes.
    virtual void showMessage(const std::string& title, const std::string& text, const std::string& text2, int kind) = 0;
};

// For reads whose failures show elsewhere or not at all (a search skips an unreadable file, a
// desktop notice has no room for an error box).
class SilentSink final : public MessageSink {
public:
    void showMessage(const std::string&, const std::string&, const std::string&, int) override {}
};

}  // namespace store
