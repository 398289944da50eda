#pragma once
// An up-down spin control attached to a line edit ("buddy"), as the original platform has it: two
// arrow buttons, a position within [minimum, maximum] moved by `increment`, no wrap-around, and the
// position shown as decimal text in the buddy.

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
    Q_OBJECT
public:
    enum Button { btNext, btPrev };

    explicit TUpDown(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    void setIncrement(int increment) { increment_ = increment; }
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int increment() const { return increment_; }
    int position() const { return position_; }
    // Clamps into the range and shows the position in the buddy.
    void setPosition(int position);
    void setBuddy(QLineEdit* edit);
    QLineEdit* buddy() const { return buddy_; }
    int tag = 0;

    // Steps from the buddy's value, as the arrow buttons and the Up/Down keys in the buddy do.
    void step(Button button);

signals:
    void clicked(TUpDown::Button button);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* buddy_ = nullptr;
    int min_ = 0, max_ = 100, increment_ = 1, position_ = 0;
};
