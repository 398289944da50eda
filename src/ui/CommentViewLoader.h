#pragma once
// Fills Memo1 with a comment file. A file of any size shows its beginning at once; the rest follows
// in slices between the window's other events, so a 100 MB comment never freezes the window.
// Whoever needs the whole text (copying, printing) calls finish() first.

#include <QElapsedTimer>
#include <QObject>
#include <QStringDecoder>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

class QPlainTextEdit;

namespace ui {

class CommentViewLoader : public QObject {
    Q_OBJECT
public:
    explicit CommentViewLoader(QPlainTextEdit* view);
    ~CommentViewLoader() override;

    enum class Result { Shown, OpenFailed, ReadFailed };
    // Replaces the view's text with the file's (lines ending in CR LF, CR or LF). On OpenFailed or
    // ReadFailed the view keeps its text. A read failure after the first slice stops the loading and
    // is reported through readFailed.
    Result show(const std::string& path);
    // Loads what is still missing, now.
    void finish();
    // Stops loading, leaving what has been shown (the view is about to get other text).
    void cancel();
    bool loading() const { return file_ != nullptr; }
    // Before a copy: loads the rest, and a selection that reached the end of what was shown is
    // stretched to the end of the comment.
    void completeSelection();

signals:
    void loaded();
    void readFailed(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool readSlice(QString& text);
    void append(const QString& text);
    void step(bool toTheEnd = false);
    void done();

    QPlainTextEdit* view_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, std::fclose};
    std::string path_;
    QStringDecoder decoder_;
    int shownChars_ = 0;      // the view's length after the last slice: a change means other text
    bool pendingCr_ = false;  // a CR at the end of a slice may be the first half of CR LF
    QTimer timer_;
};

}  // namespace ui
