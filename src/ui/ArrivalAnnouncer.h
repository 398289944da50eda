#pragma once
// Arrivals told to a screen reader while the main window is active: once per batch, "新着コメント
// N件" and the newest line. Arrivals that come close together (a flood handled in slices, files
// copied one after another) make one batch.

#include "store/FolderMirror.h"

#include <QObject>

#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace ui {

class Announcer;

class ArrivalAnnouncer : public QObject {
    Q_OBJECT
public:
    // The announcer of `window`, made on first use.
    static ArrivalAnnouncer& of(QWidget* window);

    // Comments newly shown (counted in the caption or joined to the list), oldest first.
    void heard(const std::vector<const store::MirrorEntry*>& fresh);

private:
    explicit ArrivalAnnouncer(QWidget* window);
    void speak();

    QWidget* window_;
    Announcer* announcer_;
    QTimer* quiet_;
    int count_ = 0;
    std::string newest_;  // the newest one's list text, code page 932
};

}  // namespace ui
