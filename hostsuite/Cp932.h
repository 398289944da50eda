#pragma once
// Code page 932 at the edge of the stand-ins: the suite's C interface speaks Windows-31J bytes,
// while the store, the message boxes and the logs work in Unicode.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace hostsuite {

inline QString fromCp932(const char* bytes)
{
    if (!bytes)
        return {};
    QStringDecoder decoder("windows-31j");
    return decoder.decode(QByteArrayView(bytes));
}

inline QString fromCp932(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(bytes);
}

// nullopt when a character has no code page 932 form; a silently substituted byte pair would
// hand the program text that nobody wrote.
inline std::optional<QByteArray> toCp932(const QString& text)
{
    QStringEncoder encoder("windows-31j");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

}  // namespace hostsuite
