#pragma once
// The page view of the help window. Qt presents a QTextBrowser to screen readers as one static
// label, read as a whole; this one is a document with its text, read line by line as the caret
// moves. Its links keep QTextBrowser's keys: Tab goes to the next link, Enter opens it.

#include <QTextBrowser>

class QAccessibleInterface;

namespace platform {

class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
    // A jump within the page also takes the caret to the section, where reading goes on.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
};

// The accessible interface factory that presents a HelpBrowser (installed with the first one).
QAccessibleInterface* helpAccessible(const QString& className, QObject* object);

}  // namespace platform
