#include "platform/qt/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

QString fromCp932(std::string_view bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string toCp932(QStringView text)
{
    QStringEncoder encoder("windows-31j");
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string cp932(const char* utf8) { return toCp932(QString::fromUtf8(utf8)); }

}  // namespace platform
