#include "ui/CommentViewLoader.h"

#include "platform/qt/Cp932.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace ui {
namespace {

// Read, converted and appended at a time: a few hundred lines, a few milliseconds of work (the
// document takes several microseconds per line).
constexpr std::size_t kSliceBytes = std::size_t{16} * 1024;
// Work done in one turn of the event loop before other events get their turn.
constexpr qint64 kTurnMs = 10;

}  // namespace

CommentViewLoader::CommentViewLoader(QPlainTextEdit* view)
    : QObject(view), view_(view), decoder_("windows-31j")
{
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    view_->installEventFilter(this);
}

CommentViewLoader::~CommentViewLoader() = default;

CommentViewLoader::Result CommentViewLoader::show(const std::string& path)
{
    cancel();
    // Paths are file names of this platform: open them as they are.
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_)
        return Result::OpenFailed;
    path_ = path;
    decoder_.resetState();
    pendingCr_ = false;
    QString text;
    if (!readSlice(text)) {
        cancel();
        return Result::ReadFailed;
    }
    // The view is read-only: keeping an undo record of 100 MB would double the memory for nothing.
    view_->document()->setUndoRedoEnabled(false);
    view_->setPlainText(text);
    shownChars_ = view_->document()->characterCount();
    if (std::feof(file_.get()))
        done();
    else
        timer_.start();
    return Result::Shown;
}

bool CommentViewLoader::readSlice(QString& text)
{
    std::string bytes(kSliceBytes, '\0');
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), file_.get());
    if (std::ferror(file_.get()))
        return false;
    bytes.resize(n);
    // The converter keeps a character cut at the slice's end for the next slice.
    text = decoder_.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (pendingCr_)
        text.prepend(QLatin1Char('\r'));
    pendingCr_ = !std::feof(file_.get()) && text.endsWith(QLatin1Char('\r'));
    if (pendingCr_)
        text.chop(1);
    // Lines end in CR LF, a lone CR or a lone LF.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return true;
}

void CommentViewLoader::append(const QString& text)
{
    QTextCursor end(view_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    shownChars_ = view_->document()->characterCount();
}

void CommentViewLoader::step(bool toTheEnd)
{
    // Someone else gave the view other text meanwhile: this comment is no longer on show.
    if (view_->document()->characterCount() != shownChars_) {
        cancel();
        return;
    }
    QElapsedTimer turn;
    turn.start();
    while (file_) {
        QString text;
        if (!readSlice(text)) {
            const QString path = platform::displayFileName(path_);
            cancel();
            emit readFailed(path);
            return;
        }
        append(text);
        if (std::feof(file_.get())) {
            done();
            return;
        }
        if (!toTheEnd && turn.elapsed() >= kTurnMs)
            return;
    }
}

void CommentViewLoader::finish()
{
    if (loading())
        step(true);
}

void CommentViewLoader::cancel()
{
    timer_.stop();
    file_.reset();
    pendingCr_ = false;
}

void CommentViewLoader::done()
{
    timer_.stop();
    file_.reset();
    emit loaded();
}

void CommentViewLoader::completeSelection()
{
    if (!loading())
        return;
    QTextCursor cursor = view_->textCursor();
    const bool toTheEnd = cursor.hasSelection() && cursor.selectionEnd() >= view_->document()->characterCount() - 1;
    finish();
    if (!toTheEnd)
        return;
    // A selection that reached the end of what was shown meant the end of the comment.
    cursor.setPosition(cursor.selectionStart());
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    view_->setTextCursor(cursor);
}

bool CommentViewLoader::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::KeyPress && loading()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll))
            finish();
        else if (key->matches(QKeySequence::Copy))
            completeSelection();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ui
