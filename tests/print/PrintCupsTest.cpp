// The print command end to end: a private cupsd with a cups-pdf queue as the default printer, the
// real margins dialog's OK, and the PDF that the queue writes, read back with poppler's tools.

#include "print/CurrentPrinter.h"
#include "print/PdfProbe.h"
#include "ui/ComPrin.h"
#include "ui/FrameworkError.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

namespace {

constexpr char kPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
constexpr char kBackend[] = "/usr/lib/cups/backend/cups-pdf";

QString missingPrerequisite()
{
    if (geteuid() != 0)
        return QStringLiteral("not root: cupsd must start as root to run the cups-pdf backend");
    for (const char* path : {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", kPpd, kBackend})
        if (!QFileInfo::exists(QString::fromLatin1(path)))
            return QStringLiteral("%1 is missing (packages cups, printer-driver-cups-pdf)").arg(QLatin1String(path));
    if (!pdfprobe::toolsAvailable())
        return QStringLiteral("poppler-utils are missing");
    return {};
}

bool writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) == text.toUtf8().size();
}

// A cupsd of the test's own: configuration, spool and socket in a temporary folder, loopback only
// (a Unix socket, no TCP port).
class PrivateCups {
public:
    QString start()
    {
        if (!dir_.isValid())
            return QStringLiteral("no temporary folder");
        const QString d = dir_.path();
        // Filters and the backend run as lp and must reach the spool below this folder.
        ::chmod(QFile::encodeName(d).constData(), 0755);
        for (const char* sub : {"etc", "etc/ppd", "spool", "tmp", "cache", "state", "log"})
            QDir(d).mkpath(QLatin1String(sub));
        ::chmod(QFile::encodeName(d + QStringLiteral("/tmp")).constData(), 01777);
        socket_ = d + QStringLiteral("/cups.sock");

        const QString files =
            QStringLiteral(
                "ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/tmp\nCacheDir %1/cache\nStateDir %1/state\n"
                "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                "User lp\nGroup lp\nSystemGroup root\nFileDevice No\n")
                .arg(d);
        const QString conf =
            QStringLiteral("Listen %1\nLogLevel warn\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                           "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                           "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                .arg(socket_);
        if (!writeFile(d + QStringLiteral("/cups-files.conf"), files) ||
            !writeFile(d + QStringLiteral("/cupsd.conf"), conf))
            return QStringLiteral("cannot write the configuration");

        cupsd_.setProcessChannelMode(QProcess::ForwardedChannels);
        cupsd_.start(QStringLiteral("/usr/sbin/cupsd"),
                     {QStringLiteral("-f"), QStringLiteral("-c"), d + QStringLiteral("/cupsd.conf"),
                      QStringLiteral("-s"), d + QStringLiteral("/cups-files.conf")});
        if (!cupsd_.waitForStarted(10000))
            return QStringLiteral("cupsd did not start");
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(socket_)) {
            if (waited.elapsed() > 20000 || cupsd_.state() != QProcess::Running)
                return QStringLiteral("cupsd did not open its socket: ") + log();
            QThread::msleep(50);
        }
        qputenv("CUPS_SERVER", socket_.toUtf8());

        if (!admin({QStringLiteral("-p"), QStringLiteral("PDF"), QStringLiteral("-v"), QStringLiteral("cups-pdf:/"),
                    QStringLiteral("-P"), QString::fromLatin1(kPpd), QStringLiteral("-E")}) ||
            !admin({QStringLiteral("-d"), QStringLiteral("PDF")}))
            return QStringLiteral("lpadmin failed: ") + log();
        return {};
    }

    ~PrivateCups()
    {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000))
                cupsd_.kill();
            cupsd_.waitForFinished(5000);
        }
    }

    QString log() const
    {
        QFile f(dir_.path() + QStringLiteral("/log/error_log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(2000)) : QString();
    }

private:
    bool admin(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral("/usr/sbin/lpadmin"), args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir dir_{QStringLiteral("/tmp/brevon-cups-XXXXXX")};
    QString socket_;
    QProcess cupsd_;
};

PrivateCups* cups = nullptr;
QString cupsProblem;

using testsupport::app;

class CupsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        cupsProblem = missingPrerequisite();
        if (!cupsProblem.isEmpty())
            return;
        // Before anything asks the print system: libcups reads CUPS_SERVER once.
        cups = new PrivateCups;
        cupsProblem = cups->start();
    }
    void TearDown() override
    {
        delete cups;
        cups = nullptr;
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new CupsEnvironment);

// cups-pdf writes into ~/PDF of the job's user, naming the file after the job's title.
QString outputFolder()
{
    const passwd* pw = getpwuid(geteuid());
    return QString::fromLocal8Bit(pw ? pw->pw_dir : "/root") + QStringLiteral("/PDF");
}

}  // namespace

TEST(PrintCups, PrintsTheViewThroughCupsIntoAPdf)
{
    if (!cupsProblem.isEmpty())
        GTEST_SKIP() << cupsProblem.toStdString();
    app();
    ASSERT_EQ(QPrinterInfo::defaultPrinterName(), QStringLiteral("PDF"));
    QPrinter& printer = print::currentPrinter();
    ASSERT_EQ(printer.outputFormat(), QPrinter::NativeFormat);
    ASSERT_EQ(printer.printerName(), QStringLiteral("PDF"));

    const QDir out(outputFolder());
    const QStringList pattern{QStringLiteral("BREVON_COMMENT*.pdf")};
    // Only a file written by this job counts (cups-pdf may reuse the name of an older one).
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);

    settings::SettingsRecord record;
    record.pageTop = 10;
    record.pageLeft = 10;
    QStringList errors;
    ui::setFrameworkErrorHandler([&](const QString& m) { errors << m; });
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer] {
        if (auto* d = dynamic_cast<TForm2*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            d->BitBtn2->click();
        }
    });
    timer->start(10);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(12);
    const int pages =
        ui::printComment(nullptr, QStringLiteral("█MARGIN test\r\n連絡コメント 二行目"), font, Qt::black, record);
    ui::setFrameworkErrorHandler({});
    ASSERT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    ASSERT_EQ(pages, 1);

    QString pdf;
    QElapsedTimer waited;
    waited.start();
    while (pdf.isEmpty() && waited.elapsed() < 120000) {
        for (const QFileInfo& file : out.entryInfoList(pattern, QDir::Files))
            // Written in place by the backend: wait until it reads as a whole PDF.
            if (file.lastModified() >= started && pdfprobe::info(file.filePath()))
                pdf = file.filePath();
        if (pdf.isEmpty())
            QThread::msleep(250);
    }
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF from the queue; cupsd log:\n" << cups->log().toStdString();

    // Through the queue the text comes back as outlines only: where the ink starts tells the margins.
    const auto info = pdfprobe::info(pdf);
    EXPECT_EQ(info->pages, 1);
    EXPECT_TRUE(info->title.contains(QStringLiteral("BREVON COMMENT"))) << info->title.toStdString();
    constexpr int kRenderDpi = 288;  // 4 pixels a point
    const QRect ink = pdfprobe::inkBounds(pdfprobe::render(pdf, 1, kRenderDpi));
    ASSERT_FALSE(ink.isEmpty());
    const int dpi = printer.resolution();
    const QRectF area = printer.pageLayout().paintRectPoints();
    const double margin = (int(std::lround(dpi / 25.4 * 10)) * 1440 / dpi) / 1440.0 * 72.0;
    const double left = ink.left() * 72.0 / kRenderDpi, top = ink.top() * 72.0 / kRenderDpi;
    std::cout << "printer " << printer.printerName().toStdString() << " at " << dpi << " dpi, printable area from ("
              << area.left() << ", " << area.top() << ") pt; margins 10 mm = 28.35 pt, in whole dots "
              << area.left() + margin << " pt; measured in the queue's PDF: text from x = " << left
              << " pt, ink from y = " << top << " pt\n";
    // The full block fills its cell: its left edge is the left margin, its top the line's top give
    // or take the font's ascent above the block.
    EXPECT_NEAR(left, area.left() + margin, 0.5);
    EXPECT_GE(top, area.top() + margin - 0.5);
    EXPECT_LE(top, area.top() + margin + 3.0);
    if (!qEnvironmentVariableIsSet("PRINT_KEEP"))
        QFile::remove(pdf);
}
