#pragma once
// Small helpers shared by the host suite tests: code page 932 literals, a private store file and
// running the tools.

#include "Cp932.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace hostsuite_test {

inline std::string sj(const char* utf8) { return hostsuite::toCp932(QString::fromUtf8(utf8)).value().toStdString(); }

inline void ensureApp()
{
    static int argc = 1;
    static char name[] = "hostsuite-test";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc, argv);
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run run(const QString& program, const QStringList& args)
{
    ensureApp();
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Every test gets its own store file through $BREVON_REGISTRY, inherited by the tools it starts.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        storeFile = dir.filePath(QStringLiteral("registry.ini"));
        ::setenv("BREVON_REGISTRY", storeFile.toLocal8Bit().constData(), 1);
    }
    void TearDown() override { ::unsetenv("BREVON_REGISTRY"); }

    QTemporaryDir dir;
    QString storeFile;
};

}  // namespace hostsuite_test
