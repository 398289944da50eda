// libbrvmsg.so, the stand-in for BRVMSG.DLL: the suite's message and version boxes.
//
// With $BREVON_MESSAGE_LOG naming a file, every box becomes one appended UTF-8 line instead
// (operation, text arguments, kind or code, separated by tabs) and the call returns at once, so
// tests and unattended runs see each message without anyone clicking it away.
//
// A box needs a QApplication. The program's start-up messages come before it has made one, so a
// temporary QApplication is made for the box when there is none and a display is at hand; with no
// display at all (or inside a console-only QCoreApplication) the message goes to stderr.

#pragma GCC visibility push(default)
#include "host/BrevonApi.h"
#pragma GCC visibility pop

#include "Cp932.h"

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr std::int32_t kOk = 1;  // IDOK: the box was closed with its only button
constexpr std::int32_t kNotShown = 0;

QString logFile() { return qEnvironmentVariable("BREVON_MESSAGE_LOG"); }

// One line per message: tabs and line breaks inside a text would split the record, so they are
// written as the two-character escapes \t, \n and \r.
QString field(const QString& text)
{
    QString f = text;
    f.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    f.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    f.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return f;
}

// One write() with O_APPEND, so lines from several processes never interleave.
bool appendLine(const QString& file, const QStringList& fields)
{
    const QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const ssize_t n = ::write(fd, line.constData(), static_cast<size_t>(line.size()));
    ::close(fd);
    return n == line.size();
}

std::int32_t logOrFail(const QStringList& fields)
{
    if (appendLine(logFile(), fields))
        return kOk;
    std::fprintf(stderr, "brvmsg: cannot append to %s: %s\n", qPrintable(logFile()),
                 qPrintable(fields.join(QLatin1Char(' '))));
    return kNotShown;
}

bool displayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
           qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

// Shows a box built by `fill` modally, making a QApplication for the time of the box if needed.
template <typename Fill> std::int32_t showBox(const QStringList& fallbackText, Fill fill)
{
    std::unique_ptr<QApplication> temporary;
    if (!QCoreApplication::instance() && displayAvailable()) {
        static int argc = 1;
        static char name[] = "brvmsg";
        static char* argv[] = {name, nullptr};
        temporary = std::make_unique<QApplication>(argc, argv);
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", qPrintable(fallbackText.join(QLatin1Char('\n'))));
        return kNotShown;
    }
    QMessageBox box;
    fill(box);
    box.exec();
    return kOk;
}

// A message box reads its informative text as markup when it looks like markup; a file name in it
// is shown as written.
QString asWritten(const QString& text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QMessageBox::Icon iconOf(std::uint8_t kind)
{
    switch (kind) {
    case 1: return QMessageBox::Critical;
    case 2: return QMessageBox::Information;
    default: return QMessageBox::Warning;  // 0: the close warning
    }
}

}  // namespace

std::int32_t BrevonMessage(const char* title, const char* text, const char* text2, std::int32_t /*reserved1*/,
                           std::uint8_t kind, std::uint8_t /*reserved2*/, std::int32_t /*reserved3*/,
                           std::uint8_t autoMousePos)
{
    const QString t = hostsuite::fromCp932(title);
    const QString m = hostsuite::fromCp932(text);
    const QString m2 = hostsuite::fromCp932(text2);
    if (!logFile().isEmpty())
        return logOrFail({QStringLiteral("BrevonMessage"), field(t), field(m), field(m2), QString::number(kind)});

    return showBox({t, m, m2}, [&](QMessageBox& box) {
        box.setWindowTitle(t);
        box.setIcon(iconOf(kind));
        box.setText(m);
        box.setTextFormat(Qt::PlainText);
        if (!m2.isEmpty())
            box.setInformativeText(asWritten(m2));
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        box.setDefaultButton(ok);
        // The suite's "snap to default button" option: put the pointer on OK once the box is up.
        if (autoMousePos)
            QTimer::singleShot(0, ok, [ok] { QCursor::setPos(ok->mapToGlobal(ok->rect().center())); });
    });
}

std::int32_t BrevonErrorMessage(const char* library, std::int32_t code)
{
    const QString lib = hostsuite::fromCp932(library);
    if (!logFile().isEmpty())
        return logOrFail({QStringLiteral("BrevonErrorMessage"), field(lib), QString::number(code)});

    const QString text = QStringLiteral("%1 でエラーが発生しました。").arg(lib);
    const QString code2 = QStringLiteral("エラーコード: %1").arg(code);
    return showBox({lib, text, code2}, [&](QMessageBox& box) {
        box.setWindowTitle(lib);
        box.setIcon(QMessageBox::Critical);
        box.setText(text);
        box.setInformativeText(code2);
        box.setStandardButtons(QMessageBox::Ok);
    });
}

std::int32_t ShowBrevonVersion(const char* programPath, const char* title)
{
    const QString path = hostsuite::fromCp932(programPath);
    const QString product = hostsuite::fromCp932(title);
    if (!logFile().isEmpty())
        return logOrFail({QStringLiteral("ShowBrevonVersion"), field(path), field(product)});

    const QString version = QStringLiteral("バージョン %1").arg(QStringLiteral(BREVON_PROGRAM_VERSION));
    return showBox({product, version, path}, [&](QMessageBox& box) {
        box.setWindowTitle(QStringLiteral("バージョン情報"));
        box.setIconPixmap(QApplication::windowIcon().pixmap(48, 48));
        box.setTextFormat(Qt::PlainText);
        box.setText(product + QLatin1Char('\n') + version);
        box.setInformativeText(
            asWritten(path + QLatin1Char('\n') + QFileInfo(path).lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm"))));
        box.setStandardButtons(QMessageBox::Ok);
    });
}
