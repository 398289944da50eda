#include "print/CurrentPrinter.h"

#include <QCoreApplication>
#include <QPrinter>

#include <memory>

namespace print {

namespace {

std::unique_ptr<QPrinter>& holder()
{
    static std::unique_ptr<QPrinter> printer;
    return printer;
}

}  // namespace

QPrinter& currentPrinter()
{
    auto& printer = holder();
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The print plugin goes with the application; let the printer go just before it.
        qAddPostRoutine([] { holder().reset(); });
    }
    return *printer;
}

}  // namespace print
