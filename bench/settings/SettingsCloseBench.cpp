// The settings part of the close (what the main window writes when it is destroyed, at the end of
// a desktop session too): the viewer's values and the toolbar layout's, as many as the three
// toolbars give, through the host library BRVREG in one batch. The store is
// shared by the whole suite; here it holds 0, 20,000 (about 2 MB) and 200,000 (about 20 MB) values
// of other programs. The close should cost no more than 0.2 s above the empty store's.
//   <build>/bin/SettingsCloseBench [--report=FILE] [--rounds=5]

#include "../Median.h"
#include "host/HostLibrary.h"
#include "platform/qt/Registry.h"
#include "settings/SettingsRecord.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void makeStore(const QString& file, int values)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::exit(2);
    if (values == 0)
        return;
    f.write("[Software]\n");
    const QByteArray text(80, 'x');
    for (int i = 0; i < values; ++i)
        f.write("Other\\Program" + QByteArray::number(i / 100) + "\\Value" + QByteArray::number(i % 100) + "=" + text + "\n");
}

double cpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wall time of one close; its processor time is added to `cpu`.
double closeSeconds(double& cpu)
{
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    settings::HostSettingsBackend backend;
    settings::MainWindowState window{10, 20, 800, 600, 200, "12", 1};
    // The layout's values go with the settings, as the window's close writes them.
    const auto layout = [&] {
        for (const char* bar : {"Toolbar1", "Toolbar2", "Toolbar3"})
            for (const char* name : {"Rev", "Visible", "DockedTo", "LastDock", "DockRow", "DockPos", "FloatLeft",
                                     "FloatTop", "FloatRightX"})
                if (!backend.writeUnderKey(std::string("Software\\Brevon\\Comment\\") + bar, name, "1"))
                    std::fprintf(stderr, "the layout was not taken\n");
    };
    if (!settings::WriteSettings(backend, settings::Settings(), window, layout))
        std::fprintf(stderr, "the settings were not stored\n");
    cpu = cpuSeconds() - cpuStart;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string report;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--report=", 0) == 0)
            report = a.substr(9);
        else if (a.rfind("--rounds=", 0) == 0)
            rounds = std::max(1, std::stoi(a.substr(9)));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("registry.ini"));
    qputenv("BREVON_REGISTRY", QFile::encodeName(store));
    if (!host::BindSettingsFunctions()) {
        std::fprintf(stderr, "BRVREG could not be bound\n");
        return 2;
    }
    settings::HostSettingsBackend reader;
    settings::ReadSettings(reader, settings::Settings());

    struct Figure {
        const char* name;
        int values;
        double seconds = 0;
        double cpu = 0;
    };
    std::vector<Figure> figures{{"settings_close_empty_store", 0}, {"settings_close_2MB_store", 20000},
                                {"settings_close_20MB_store", 200000}};
    for (Figure& f : figures) {
        makeStore(store, f.values);
        const qint64 size = QFile(store).size();
        std::vector<double> times, cpu;
        for (int r = 0; r < rounds; ++r) {
            double c = 0;
            times.push_back(closeSeconds(c));
            cpu.push_back(c);
        }
        f.seconds = median(times);
        f.cpu = median(cpu);
        std::printf("%-28s %9lld bytes  median %.3f s (processor %.3f s) of %d\n", f.name,
                    static_cast<long long>(size), f.seconds, f.cpu, rounds);
    }
    if (!report.empty()) {
        if (std::FILE* out = std::fopen(report.c_str(), "w")) {
            const double empty = figures[0].seconds;
            // The processor time beside it: on a shared machine the wall time is mostly waiting.
            for (std::size_t i = 1; i < figures.size(); ++i)
                std::fprintf(out, "%s\t%.3f s (cpu %.3f s)\t%.3f s (cpu %.3f s)\t%.2f\t<= reference + 0.2 s\n",
                             figures[i].name, figures[i].seconds, figures[i].cpu, empty, figures[0].cpu,
                             figures[i].seconds / empty);
            std::fclose(out);
        }
    }
    return 0;
}
