#include "ui/Unit5.h"

#include "platform/qt/Cp932.h"
#include "platform/qt/ShellOpen.h"
#include "ui/ScreenCenter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

constexpr std::size_t kUserIdBytes = 16;
constexpr char kUserIdFile[] = "USER_ID.DAT";

}  // namespace

const QString TForm5::kWarningText = QStringLiteral("この機能（URLからのジャンプ）はインターネットへの\r\n\r\n"
                                                    "接続環境が必要となります。\r\n\r\n"
                                                    "接続環境が無い場合は動作が無視されます。");

TForm5::TForm5(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ご注意下さい"));
    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);
    CheckBox1 = new QCheckBox(QStringLiteral("次回もこの画面を表示する"), this);
    Button1 = new QPushButton(QStringLiteral("閉じる"), this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    // Sized for the text it will show.
    Label1->setText(kWarningText);
    ui::centerOnScreen(this);
}

void TForm5::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TForm5::FormShow() { Label1->setText(kWarningText); }

void TForm5::Button1Click() { close(); }

namespace ui {

void WarningPlay(QWidget* parent, settings::SettingsRecord& record)
{
    TForm5 dialog(parent);
    dialog.CheckBox1->setChecked(record.browsCSw);
    if (record.browsCSw)
        dialog.exec();
    record.browsCSw = dialog.CheckBox1->isChecked();
}

std::string ReadUserId(const std::string& dataDir)
{
    std::string path = dataDir;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += kUserIdFile;

    // Non-blocking, and regular files only: a pipe or device under that name would otherwise hold
    // the window until someone writes to it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};

    std::string id;
    for (;;) {
        const int c = std::fgetc(file.get());
        if (c == EOF) {
            if (std::ferror(file.get()))
                return {};
            break;
        }
        if (c == '\n')
            break;
        if (c == '\r')
            continue;  // ends the line only together with LF, and is never part of it
        if (id.size() < kUserIdBytes)
            id += static_cast<char>(c);
        else
            break;  // the rest of the line does not matter
    }
    if (std::fclose(file.release()) != 0)
        return {};
    return id;
}

std::string webAddress(WebPage page, const std::string& dataDir, const settings::SettingsRecord& record)
{
    if (page == WebPage::Tessera)
        return record.tsrPageUrl + ReadUserId(dataDir);
    return record.homePageUrl;
}

void jumpToWebPage(WebPage page, const std::string& dataDir, QWidget* parent, settings::SettingsRecord& record)
{
    WarningPlay(parent, record);
    const std::string address = webAddress(page, dataDir, record);
    platform::ShellOpen(platform::fromCp932(address));
}

}  // namespace ui
