#pragma once
// TForm4: retention limit and deletion flag per comment category, edited in memory only. One
// group per row of the category table.

#include "store/Categories.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // Index i is the group of category i (the components numbered i + 1, Tag i).
    std::array<QGroupBox*, store::kCategoryCount> GroupBox{};
    std::array<QLineEdit*, store::kCategoryCount> Edit{};
    std::array<TUpDown*, store::kCategoryCount> UpDown{};
    std::array<QLabel*, store::kCategoryCount> Label{};
    std::array<QCheckBox*, store::kCategoryCount> CheckBox{};
    QPushButton* BitBtn1 = nullptr;  // ヘルプ
    QPushButton* BitBtn2 = nullptr;  // OK
    QPushButton* BitBtn3 = nullptr;  // ｷｬﾝｾﾙ

    std::function<void()> onHelp;  // opens help context 8

    // Typed characters: controls pass; otherwise only allowed ones while fewer than maxLength
    // characters would remain after replacing the selection.
    static bool FilterKey(const QLineEdit* edit, QChar key, int maxLength, const QString& allowed);
    static bool FilterKey(QChar key, int textLength, int selectionLength, int maxLength, const QString& allowed);

    void CheckBox1Click(int tag);
    void Edit1KeyDown(int tag, int key);
    void Edit1Exit(int tag);
    void clamp(int tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int tagOf(QObject* object) const;
    void fitGroupsToCaptions();

    int groupShift_ = 0;  // how far each group's controls sit below their designed places
};
