#pragma once
// What every test of the real main window starts from: one QApplication for the process, a
// scratch suite on disk that the host information points at, a fake settings backend with a
// stored place (so the window is not centred, which would store the designed layout), and the
// window itself.

#include "platform/qt/Cp932.h"
#include "support/FakeSettingsBackend.h"
#include "support/ScratchSuite.h"
#include "support/TestApplication.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"

#include <QApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::app();
        char pattern[] = "/tmp/mainwindow-XXXXXX";
        root = mkdtemp(pattern);
        suite = root + "/suite/";
        setenv("BREVON_REGISTRY", (root + "/registry.ini").c_str(), 1);
        setenv("BREVON_MESSAGE_LOG", (root + "/messages.log").c_str(), 1);
        testsupport::pointHostAt(suite);
        testsupport::storeAPlace(store);
    }
    void TearDown() override
    {
        form.reset();
        std::filesystem::remove_all(root);
    }

    // A file of `text` (UTF-8, stored as code page 932) at `path`, `age` minutes old.
    static std::string writeComment(const std::string& path, const std::string& text, int age)
    {
        std::ofstream(path, std::ios::binary) << platform::cp932(text.c_str());
        std::filesystem::last_write_time(path,
                                         std::filesystem::file_time_type::clock::now() - std::chrono::minutes(age));
        return path;
    }

    TForm1& open()
    {
        form = std::make_unique<TForm1>(&store);
        form->show();
        return *form;
    }
    QStringList lines() const
    {
        QStringList out;
        for (int i = 0; i < form->ListBox1->count(); ++i)
            out << form->ListBox1->text(i);
        return out;
    }
    std::string messages() const
    {
        std::ifstream in(root + "/messages.log", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::string root, suite;
    FakeSettingsBackend store;
    std::unique_ptr<TForm1> form;
};
