#include "ui/CommentViewLoader.h"

#include "platform/CommentFile.h"
#include "platform/qt/Cp932.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <unistd.h>

namespace ui {
namespace {

// Read, converted and appended at a time: a few hundred lines, a few milliseconds of work (the
// document takes several microseconds per line).
constexpr std::size_t kSliceBytes = std::size_t{16} * 1024;
// Work done in one turn of the event loop before other events get their turn.
constexpr qint64 kTurnMs = 10;
// A line longer than this is cut into paragraphs of a little less: the view lays a paragraph out
// in one go, and a line without a place to break takes longer per character the longer it is.
constexpr qsizetype kPiece = 1024;
// Text laid out again at a time when the view's width changes.
constexpr qsizetype kRewrapBatch = qsizetype{16} * 1024;
// The state of a paragraph whose end is a cut, not a line end.
constexpr int kCut = 1;

}  // namespace

struct CommentViewLoader::Source {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, std::fclose};
    std::string path;
    QStringDecoder decoder{"windows-31j"};
    bool pendingCr = false;  // a CR at the end of a slice may be the first half of CR LF
};

CommentViewLoader::CommentViewLoader(QPlainTextEdit* view) : QObject(view), view_(view), viewport_(view->viewport())
{
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
    rewrapTimer_.setInterval(0);
    connect(&rewrapTimer_, &QTimer::timeout, this, [this] { rewrapStep(); });
    connect(view_->document(), &QTextDocument::contentsChange, this, [this] {
        // Someone else gave the view other text: this comment is no longer on show.
        if (!ownEdit_) {
            cancel();
            cuts_.clear();
        }
    });
    view_->installEventFilter(this);
    viewport_->installEventFilter(this);
}

CommentViewLoader::~CommentViewLoader() = default;

CommentViewLoader* CommentViewLoader::of(const QPlainTextEdit* view)
{
    return view ? view->findChild<CommentViewLoader*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

std::unique_ptr<CommentViewLoader::Source> CommentViewLoader::open(const std::string& path)
{
    auto source = std::make_unique<Source>();
    // Paths are file names of this platform: open them as they are. Without blocking, and only an
    // ordinary file: a pipe under a comment's name would hold the window before it ever appears.
    const int fd = platform::openCommentFile(path);
    if (fd < 0)
        return nullptr;
    source->file.reset(::fdopen(fd, "rb"));
    if (!source->file) {
        ::close(fd);
        return nullptr;
    }
    source->path = path;
    return source;
}

CommentViewLoader::Result CommentViewLoader::show(const std::string& path)
{
    // The comment on show stays whole (and goes on loading) until the next one can be read.
    std::unique_ptr<Source> next = open(path);
    if (!next)
        return Result::OpenFailed;
    QString text;
    if (!readSlice(*next, text))
        return Result::ReadFailed;
    cancel();
    source_ = std::move(next);
    cuts_.clear();
    tail_.clear();
    textLength_ = 0;
    rewrapWidth_ = wrapWidth();
    rewrapPending_ = false;
    rewrapFrom_ = std::size_t(-1);
    // The view is read-only: keeping an undo record of 100 MB would double the memory for nothing.
    view_->document()->setUndoRedoEnabled(false);
    const bool last = std::feof(source_->file.get()) != 0;
    int cuts = 0;
    const QString shown = take(text, last, cuts);
    ownEdit_ = true;
    view_->setPlainText(shown);
    ownEdit_ = false;
    markCuts(cuts);
    if (last)
        done();
    else
        timer_.start();
    return Result::Shown;
}

bool CommentViewLoader::readSlice(Source& source, QString& text)
{
    std::string bytes(kSliceBytes, '\0');
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), source.file.get());
    if (std::ferror(source.file.get()))
        return false;
    bytes.resize(n);
    // The converter keeps a character cut at the slice's end for the next slice.
    text = source.decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (source.pendingCr)
        text.prepend(QLatin1Char('\r'));
    source.pendingCr = !std::feof(source.file.get()) && text.endsWith(QLatin1Char('\r'));
    if (source.pendingCr)
        text.chop(1);
    // Lines end in CR LF, a lone CR or a lone LF.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return true;
}

qreal CommentViewLoader::wrapWidth() const
{
    if (view_->lineWrapMode() == QPlainTextEdit::NoWrap)
        return 0;
    // The view lays its text out as wide as its viewport, inside the document's margins.
    const int width = view_->viewport()->width();
    return width > 0 ? width - 2 * view_->document()->documentMargin() : 0;
}

qsizetype CommentViewLoader::nextCut(const QString& text, qsizetype from, qreal width) const
{
    // The start of the last line the view shows of the next kPiece characters: text laid out from
    // a line start breaks where the whole breaks, up to the line cut short.
    if (width > 0) {
        const QTextDocument* doc = view_->document();
        QTextLayout layout(text.mid(from, kPiece), doc->defaultFont());
        layout.setTextOption(doc->defaultTextOption());
        layout.beginLayout();
        qsizetype lastStart = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lastStart = line.textStart();
        }
        layout.endLayout();
        if (lastStart > 0)
            return from + lastStart;
    }
    // A view that does not wrap shows the cut; keep it off a character's second half.
    qsizetype at = std::min(from + kPiece, text.size());
    if (at < text.size() && text.at(at).isLowSurrogate())
        --at;
    return at;
}

QString CommentViewLoader::take(const QString& text, bool last, int& cuts)
{
    QString all = tail_.isEmpty() ? text : tail_ + text;
    tail_.clear();
    cuts = 0;
    if (last) {
        textLength_ += all.size();
        return all;
    }
    // Whole lines go in now; the end of a line waits for the next slice, but for the part of a long
    // one that is sure to fill the view's lines.
    const qsizetype restFrom = all.lastIndexOf(QLatin1Char('\n')) + 1;
    // Whoever waits for the whole comment gets it at once: the cuts of this slice are moved to
    // where the view wraps afterwards, between other events.
    const qreal width = finishing_ ? 0 : wrapWidth();
    if (finishing_ && rewrapFrom_ > cuts_.size())
        rewrapFrom_ = cuts_.size();
    QString out;
    qsizetype pos = restFrom;
    while (all.size() - pos >= kPiece) {
        const qsizetype cut = nextCut(all, pos, width);
        out += QStringView(all).mid(out.isEmpty() ? 0 : pos, out.isEmpty() ? cut : cut - pos);
        out += QLatin1Char('\n');
        cuts_.push_back(textLength_ + cut);
        ++cuts;
        pos = cut;
    }
    tail_ = all.mid(pos);
    if (cuts == 0) {
        all.truncate(pos);
        out = std::move(all);
    }
    textLength_ += pos;
    return out;
}

void CommentViewLoader::markCuts(int cuts)
{
    // The paragraphs just put in before the empty last one end in the cuts.
    QTextBlock block = view_->document()->lastBlock();
    for (int i = 0; i < cuts; ++i) {
        block = block.previous();
        block.setUserState(kCut);
    }
}

void CommentViewLoader::append(const QString& text, bool last)
{
    int cuts = 0;
    const QString more = take(text, last, cuts);
    if (more.isEmpty())
        return;
    QTextCursor end(view_->document());
    end.movePosition(QTextCursor::End);
    ownEdit_ = appending_ = true;
    end.insertText(more);
    ownEdit_ = appending_ = false;
    markCuts(cuts);
}

void CommentViewLoader::step(bool toTheEnd)
{
    QElapsedTimer turn;
    turn.start();
    while (source_) {
        QString text;
        if (!readSlice(*source_, text)) {
            const QString path = platform::displayFileName(source_->path);
            cancel();
            emit readFailed(path);
            return;
        }
        const bool last = std::feof(source_->file.get()) != 0;
        append(text, last);
        if (last) {
            done();
            return;
        }
        if (!toTheEnd && turn.elapsed() >= kTurnMs)
            return;
    }
}

void CommentViewLoader::finish()
{
    if (!loading())
        return;
    finishing_ = true;
    step(true);
    finishing_ = false;
}

void CommentViewLoader::cancel()
{
    timer_.stop();
    rewrapTimer_.stop();
    source_.reset();
    tail_.clear();
}

void CommentViewLoader::done()
{
    timer_.stop();
    source_.reset();
    if (rewrapPending_)
        startRewrap(0);
    else if (rewrapFrom_ < cuts_.size())
        startRewrap(rewrapFrom_);
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

void CommentViewLoader::copy()
{
    completeSelection();
    const QTextCursor cursor = view_->textCursor();
    if (cursor.hasSelection())
        QGuiApplication::clipboard()->setText(textBetween(cursor.selectionStart(), cursor.selectionEnd()));
}

QString CommentViewLoader::text() const { return textBetween(0, view_->document()->characterCount() - 1); }

QString CommentViewLoader::textBetween(int from, int to) const
{
    QString out;
    out.reserve(std::max(0, to - from));
    const QTextDocument* doc = view_->document();
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        const int end = block.position() + block.length() - 1;  // its paragraph end
        const int start = std::max(from, block.position());
        out += QStringView(block.text()).mid(start - block.position(), std::min(to, end) - start);
        if (end < to && block.userState() != kCut)
            out += QLatin1Char('\n');
    }
    return out;
}

qint64 CommentViewLoader::textLength() const
{
    return view_->document()->characterCount() - 1 - static_cast<qint64>(cuts_.size());
}

int CommentViewLoader::documentPosition(qint64 textPosition, bool atEnd) const
{
    const auto cutsBefore = atEnd ? std::lower_bound(cuts_.begin(), cuts_.end(), textPosition)
                                  : std::upper_bound(cuts_.begin(), cuts_.end(), textPosition);
    return static_cast<int>(textPosition + (cutsBefore - cuts_.begin()));
}

// ---------------------------------------------------------------------------------------------
// A new width: the cuts move to where the view now wraps, a batch of text per turn.

void CommentViewLoader::startRewrap(std::size_t from)
{
    rewrapPending_ = false;
    rewrapFrom_ = std::size_t(-1);
    rewrapWidth_ = wrapWidth();
    rewrapAt_ = from;
    if (rewrapWidth_ > 0 && !cuts_.empty())
        rewrapTimer_.start();
    else
        rewrapTimer_.stop();
}

void CommentViewLoader::rewrapStep()
{
    QElapsedTimer turn;
    turn.start();
    while (rewrapAt_ < cuts_.size()) {
        rewrapBatch();
        if (turn.elapsed() >= kTurnMs)
            return;
    }
    rewrapTimer_.stop();
}

void CommentViewLoader::rewrapBatch()
{
    QTextDocument* doc = view_->document();
    // The paragraph that ends in the cut at rewrapAt_ starts at a line start or at a cut that is
    // already where the view wraps.
    const qint64 firstCut = cuts_[rewrapAt_];
    const int firstSeparator = documentPosition(firstCut, true);
    QTextBlock block = doc->findBlock(firstSeparator);
    const qint64 start = firstCut - (firstSeparator - block.position());
    const int startPosition = block.position();

    // The text of the paragraphs up to the line's end, or about a batch of it.
    QString text;
    std::vector<qsizetype> oldCuts;  // in `text`
    bool more = false;
    for (;;) {
        text += block.text();
        if (block.userState() != kCut)
            break;
        oldCuts.push_back(text.size());
        block = block.next();
        if (text.size() >= kRewrapBatch) {
            more = true;  // `block` goes on with the line
            break;
        }
    }
    const int lastState = block.userState();

    // New cuts from the start; when more follows, the batch ends at its last cut and what is
    // after it joins the next paragraph.
    const qsizetype end = more ? oldCuts.back() : text.size();
    std::vector<qsizetype> newCuts;
    for (qsizetype pos = 0; end - pos >= kPiece;) {
        pos = nextCut(text, pos, rewrapWidth_);
        newCuts.push_back(pos);
    }

    // Paragraph ends taken out and put in from the back, so the positions in front stay.
    std::vector<std::pair<qsizetype, bool>> edits;  // place in `text`, true to put a cut in
    std::size_t o = 0, n = 0;
    while (o < oldCuts.size() || n < newCuts.size()) {
        if (n == newCuts.size() || (o < oldCuts.size() && oldCuts[o] < newCuts[n]))
            edits.emplace_back(oldCuts[o++], false);
        else if (o == oldCuts.size() || newCuts[n] < oldCuts[o])
            edits.emplace_back(newCuts[n++], true);
        else
            ++o, ++n;  // already there
    }
    std::reverse(edits.begin(), edits.end());
    QTextCursor cursor(doc);
    ownEdit_ = appending_ = true;
    for (const auto& [at, put] : edits) {
        const auto separatorsBefore = std::lower_bound(oldCuts.begin(), oldCuts.end(), at) - oldCuts.begin();
        cursor.setPosition(startPosition + static_cast<int>(at + separatorsBefore));
        if (put)
            cursor.insertText(QStringLiteral("\n"));
        else
            cursor.deleteChar();
    }
    ownEdit_ = appending_ = false;
    block = doc->findBlock(startPosition);
    for (std::size_t i = 0; i < newCuts.size(); ++i, block = block.next())
        block.setUserState(kCut);
    block.setUserState(lastState);

    const auto from = std::upper_bound(cuts_.begin(), cuts_.end(), start);
    const auto to = from + static_cast<std::ptrdiff_t>(oldCuts.size());
    const auto index = from - cuts_.begin();
    cuts_.erase(from, to);
    std::vector<qint64> placed;
    placed.reserve(newCuts.size());
    for (const qsizetype at : newCuts)
        placed.push_back(start + at);
    cuts_.insert(cuts_.begin() + index, placed.begin(), placed.end());
    rewrapAt_ = static_cast<std::size_t>(index) + placed.size();
}

bool CommentViewLoader::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll) && loading()) {
            finish();
        } else if (key->matches(QKeySequence::Copy)) {
            copy();
            return true;
        }
    }
    // The view wraps at a new width once it has handled the change.
    if ((watched == viewport_ && event->type() == QEvent::Resize) ||
        (watched == view_ && event->type() == QEvent::FontChange)) {
        if (!cuts_.empty())
            QTimer::singleShot(0, this, [this] {
                if (wrapWidth() == rewrapWidth_)
                    return;
                // While loading, the rest is cut at the new width and the whole is done after.
                if (loading())
                    rewrapPending_ = true;
                else
                    startRewrap(0);
            });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ui
