#pragma once
// ListBox1's lines: a flat model over the list texts and the multi-selection view that shows them.
// The texts stay code page 932 bytes and are converted only for the rows that are drawn, so filling
// the list with 2,000 comments costs no more than copying their texts.

#include <QAbstractListModel>
#include <QListView>

#include <string>
#include <vector>

namespace ui {

class CommentListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Inserts `texts` (code page 932) before `row`, which may equal rowCount(): one insertion, so
    // selection and caret below it move down together.
    void insertLines(int row, std::vector<std::string> texts);
    void appendLines(std::vector<std::string> texts) { insertLines(rowCount(), std::move(texts)); }
    void replaceLine(int row, std::string text);
    void clear();

    const std::string& bytes(int row) const { return texts_[static_cast<size_t>(row)]; }
    QString text(int row) const;

private:
    std::vector<std::string> texts_;
};

class CommentListView : public QListView {
    Q_OBJECT
public:
    explicit CommentListView(QWidget* parent = nullptr);

    CommentListModel* lines() const { return model_; }
    int count() const { return model_->rowCount(); }
    int currentRow() const;
    QString text(int row) const { return model_->text(row); }
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    void clear() { model_->clear(); }

signals:
    // The caret moved (a click, an arrow key, or the program); blocked with the view's signals.
    void currentRowChanged(int row);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // A screen reader follows the current line as the focus within the list.
    void announceCurrentRow();

    CommentListModel* model_;
};

}  // namespace ui
