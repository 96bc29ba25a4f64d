#include "CClippedTextDelegate.h"

namespace {

const QChar ellipsis(0x2026);

// How many leading characters fill `width`, one more included so that the style still sees
// the text overflow and elides it as it would the whole. Advances of single characters come
// from the font's tables; nothing is shaped here.
qsizetype fillingLength(const QString &text, const QFontMetrics &metrics, int width)
{
    qsizetype length = 0;
    for (int used = 0; length < text.size() && used <= width; ++length)
        used += metrics.horizontalAdvance(text.at(length));
    return length;
}

} // namespace

void CClippedTextDelegate::initStyleOption(
    QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    qsizetype length = fillingLength(option->text, option->fontMetrics, option->rect.width());
    if (length >= option->text.size())
        return;
    if (option->text.at(length - 1).isHighSurrogate())
        ++length;
    option->text.truncate(length);
    option->text.append(ellipsis);
}
