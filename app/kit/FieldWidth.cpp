#include "kit/FieldWidth.h"

#include <QEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <utility>

namespace {

// Room QLineEdit keeps on each side of its text inside the frame.
constexpr int lineEditTextMargin = 2;
// The text cursor after the last character.
constexpr int cursorWidth = 1;

// Refits its field when the font or style that its width depends on changes.
class CFieldFitter final : public QObject {
public:
    CFieldFitter(QLineEdit *field, int count, QString alphabet)
        : QObject(field)
        , m_field(field)
        , m_count(count)
        , m_alphabet(std::move(alphabet))
    {
        field->installEventFilter(this);
        fit();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_field
            && (type == QEvent::FontChange || type == QEvent::StyleChange
                || type == QEvent::Polish))
            fit();
        return false;
    }

private:
    void fit() { m_field->setMinimumWidth(fieldwidth::widthFor(*m_field, m_count, m_alphabet)); }

    QLineEdit *m_field;
    int m_count;
    QString m_alphabet;
};

} // namespace

namespace fieldwidth {

int widthFor(const QLineEdit &field, int count, QStringView alphabet)
{
    const QFontMetrics metrics = field.fontMetrics();
    int widest = 0;
    for (const QChar character : alphabet)
        widest = std::max(widest, metrics.horizontalAdvance(character));
    const QMargins text = field.textMargins();
    const QMargins contents = field.contentsMargins();
    const QSize content(count * widest + cursorWidth + 2 * lineEditTextMargin + text.left()
            + text.right() + contents.left() + contents.right(),
        metrics.height());
    QStyleOptionFrame option;
    option.initFrom(&field);
    option.lineWidth = field.hasFrame()
        ? field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &field)
        : 0;
    return field.style()->sizeFromContents(QStyle::CT_LineEdit, &option, content, &field).width();
}

void fitCharacters(QLineEdit *field, int count, QStringView alphabet)
{
    new CFieldFitter(field, count, alphabet.toString());
}

} // namespace fieldwidth
