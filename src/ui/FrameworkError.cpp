#include "ui/FrameworkError.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

ConvertError::ConvertError(const QString& text)
    : std::runtime_error(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString())
{
}

QString ConvertError::message() const { return QString::fromStdString(what()); }

int toInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || text.isEmpty() || text.back().isSpace())
        throw ConvertError(text);
    return value;
}

namespace {
std::function<void(const QString&)>& handler()
{
    static std::function<void(const QString&)> h;
    return h;
}
}  // namespace

void setFrameworkErrorHandler(std::function<void(const QString&)> h) { handler() = std::move(h); }

void showFrameworkError(QWidget* parent, const QString& message, const QString& details)
{
    if (handler()) {
        handler()(message);
        return;
    }
    // The message may quote a file name or pasted text, which must not be read as markup.
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDetailedText(details);
    box.exec();
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showFrameworkError(activeWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        showFrameworkError(activeWindow(), QStringLiteral("不明なエラーが発生しました"));
    }
    return false;
}

}  // namespace ui
