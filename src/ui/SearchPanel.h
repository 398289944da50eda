#pragma once
// The search panel: a tool window beside the main window with a text field and the comments that
// hold every word typed, newest first. The search runs beside the GUI thread and starts again
// whenever the text changes; activating a result asks the main window to show that comment and
// marks the words in the view until another comment is shown.

#include "store/Categories.h"
#include "store/Search.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QTimer;
namespace ui {
class Announcer;
}

class SearchPanel : public QWidget {
    Q_OBJECT
public:
    // `owner` is the main window (the panel floats beside it); `view` is where results are shown.
    SearchPanel(QWidget* owner, QPlainTextEdit* view);
    ~SearchPanel() override;

    // Where to search: asked afresh for every search, since the window leaves received mode.
    struct Scope {
        store::CommentDirs dirs;
        bool receivedMode = false;
    };
    std::function<Scope()> scope;
    // Shows a comment in the main window; false when it is not (or no longer) in the list.
    std::function<bool(int category, const std::string& path)> showComment;

    // Opens the panel (or brings it forward) in the list's font, field focused: beside its owner
    // where the screen has room, else over the lower part of the view.
    void showFor(const QFont& listFont);

    // The folders changed: results whose comments are `gone` leave at once, and the search runs
    // again shortly (`more`: comments came or changed), the results on show kept until it is done.
    void followFolder(const std::vector<std::string>& gone, bool more);

    QLineEdit* Edit = nullptr;
    QListWidget* Results = nullptr;
    QLabel* Status = nullptr;

signals:
    // The results of the current text are complete (tests wait for it).
    void searchFinished();
    // The view's occurrences are marked.
    void highlighted();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Worker;
    struct Batch;

    void textEdited();
    void startSearch();
    void receive(const Batch& batch);
    void activate(QListWidgetItem* item);
    // Marks `ranges` of the comment's text, `length` units long as the marking read it.
    void applyHighlight(unsigned viewGeneration, const std::vector<store::TextRange>& ranges, std::size_t length);
    void clearHighlight();
    void refresh();
    // Puts the caret on `position` of the view's document, where the panel does not cover it.
    void bringIntoSight(int position);
    static QString lineFor(const store::SearchHit& hit);
    void addLines(const QStringList& lines);

    QPlainTextEdit* view_;
    ui::Announcer* announcer_;  // the count, for a screen reader
    QTimer* delay_;
    std::unique_ptr<Worker> worker_;
    unsigned generation_ = 0;             // the search whose results are shown
    unsigned viewGeneration_ = 0;         // counts the texts the view has shown
    std::u16string query_;                // the text searched for
    std::vector<store::SearchHit> hits_;  // newest first, parallel to Results
    // Marks of a comment still loading, all set once it is there.
    struct PendingMarks {
        unsigned viewGeneration = 0;
        std::vector<store::TextRange> ranges;
        std::size_t length = 0;
    };
    std::optional<PendingMarks> pendingMarks_;
    bool marksShown_ = false;  // the first mark has been brought into sight
    // The comment whose marks the view shows, for a second choice of it to need no second read.
    std::string markedPath_;
    std::u16string markedQuery_;
    unsigned markedView_ = 0;
    int firstMark_ = -1;
    // A search run again because the folders changed: its results replace those on show at its end.
    QTimer* follow_ = nullptr;
    bool refreshing_ = false;
    bool stale_ = false;  // the folders changed while the panel was closed
    std::vector<store::SearchHit> freshHits_;
    QStringList freshLines_;
    bool placed_ = false;
};
