#pragma once
// Fills Memo1 with a comment file. A file of any size shows its beginning at once; the rest follows
// in slices between the window's other events, so a 100 MB comment never freezes the window.
//
// The view lays a paragraph out as a whole each time it changes, so a line of megabytes appended
// slice by slice would be laid out again and again. Lines therefore enter the view whole, and a
// line too long for that is cut into paragraphs where the view would wrap it anyway; those cuts
// are no part of the text. Whoever needs the comment's text (copying, printing, marking) asks
// this loader, not the view.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace ui {

class CommentViewLoader : public QObject {
    Q_OBJECT
public:
    explicit CommentViewLoader(QPlainTextEdit* view);
    ~CommentViewLoader() override;

    // The loader that fills `view`, if any.
    static CommentViewLoader* of(const QPlainTextEdit* view);

    enum class Result { Shown, OpenFailed, ReadFailed };
    // Replaces the view's text with the file's (lines ending in CR LF, CR or LF). On OpenFailed or
    // ReadFailed the view keeps its text, and a comment still loading goes on loading. A read
    // failure after the first slice stops the loading and is reported through readFailed.
    Result show(const std::string& path);
    // Loads what is still missing, now.
    void finish();
    // Stops loading, leaving what has been shown (the view is about to get other text).
    void cancel();
    bool loading() const { return source_ != nullptr; }
    // Before a copy: loads the rest, and a selection that reached the end of what was shown is
    // stretched to the end of the comment.
    void completeSelection();
    // The selection as text onto the clipboard, all of it.
    void copy();

    // The comment's text as far as it is shown, line ends as LF; finish() first for all of it.
    QString text() const;
    // The text between two positions of the view's document.
    QString textBetween(int from, int to) const;
    // Length of text() in UTF-16 units.
    qint64 textLength() const;
    // Where a position of text() is in the view's document. A cut between two paragraphs is one
    // position of the text and two of the document: `atEnd` chooses the first.
    int documentPosition(qint64 textPosition, bool atEnd = false) const;
    // True while the loader adds to the comment on show (the view's text changes, the comment not).
    bool appending() const { return appending_; }

signals:
    void loaded();
    void readFailed(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Source;

    static std::unique_ptr<Source> open(const std::string& path);
    static bool readSlice(Source& source, QString& text);
    QString take(const QString& text, bool last, int& cuts);
    void markCuts(int cuts);
    void append(const QString& text, bool last);
    qreal wrapWidth() const;
    qsizetype nextCut(const QString& text, qsizetype from, qreal width) const;
    void step(bool toTheEnd = false);
    void done();
    void startRewrap(std::size_t from);
    void rewrapStep();
    void rewrapBatch();

    QPlainTextEdit* view_;
    QObject* viewport_;  // compared only: events come while the view is being destroyed
    std::unique_ptr<Source> source_;
    QString tail_;              // the end of a line not yet in the view
    qint64 textLength_ = 0;     // of the text in the view
    std::vector<qint64> cuts_;  // positions of text() where the view has a paragraph cut
    bool ownEdit_ = false;      // the view's text changes by this loader's hand
    bool appending_ = false;
    QTimer timer_;
    // Moving the cuts to a new width.
    QTimer rewrapTimer_;
    qreal rewrapWidth_ = 0;  // the width the cuts were made for
    bool rewrapPending_ = false;
    std::size_t rewrapAt_ = 0;                  // the next cut to look at
    std::size_t rewrapFrom_ = std::size_t(-1);  // the first cut made without laying out, if any
    bool finishing_ = false;
};

}  // namespace ui
