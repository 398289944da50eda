#include "platform/qt/Cp932.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {
namespace {

QByteArrayView view(std::string_view bytes) { return {bytes.data(), static_cast<qsizetype>(bytes.size())}; }

std::string toStdString(const QByteArray& bytes) { return {bytes.constData(), static_cast<size_t>(bytes.size())}; }

}  // namespace

QString fromCp932(std::string_view bytes)
{
    QStringDecoder decoder("windows-31j");
    return decoder.decode(view(bytes));
}

std::string toCp932(QStringView text)
{
    QStringEncoder encoder("windows-31j");
    return toStdString(encoder.encode(text));
}

std::string cp932(const char* utf8) { return toCp932(QString::fromUtf8(utf8)); }

// Stateless, so that a lead byte at the very end counts as an error instead of waiting for more.
std::optional<std::string> fileNameFromHost(std::string_view hostPath)
{
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(view(hostPath));
    if (decoder.hasError())
        return std::nullopt;
    return toStdString(QFile::encodeName(text));
}

std::optional<std::string> hostPathFromFileName(std::string_view fileName)
{
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(displayFileName(fileName));
    if (encoder.hasError())
        return std::nullopt;
    return toStdString(bytes);
}

QString displayFileName(std::string_view fileName)
{
    return QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
}

}  // namespace platform
