#pragma once

#include <QStyledItemDelegate>

// Paints a cell's text cut to what the cell can show. Laying out a row of 60 000 characters
// only to elide it would stall the window under a stream of large blocks; the model's text
// stays whole (screen readers and copies get all of it).
class CClippedTextDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
