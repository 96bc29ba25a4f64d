#include "kit/CAccessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>

namespace {

QString withoutMnemonic(QString caption)
{
    return caption.remove(QLatin1Char('&')).trimmed();
}

bool isControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QLineEdit *>(widget)
        || qobject_cast<const QComboBox *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
        || qobject_cast<const QAbstractItemView *>(widget)
        || qobject_cast<const QGroupBox *>(widget);
}

QString captionOf(const QWidget *widget)
{
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        const QString caption = withoutMnemonic(button->text());
        return caption.isEmpty() ? button->toolTip() : caption;
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(widget))
        return withoutMnemonic(group->title());
    return {};
}

// Parts of composite controls (a combo box's list, a spin box's editor, a table's headers, a
// tab bar's scroll buttons) are announced through their owner.
bool isPartOfComposite(const QWidget *widget)
{
    for (const QWidget *ancestor = widget->parentWidget(); ancestor != nullptr;
         ancestor = ancestor->parentWidget()) {
        if (qobject_cast<const QComboBox *>(ancestor)
            || qobject_cast<const QAbstractSpinBox *>(ancestor)
            || qobject_cast<const QAbstractItemView *>(ancestor)
            || qobject_cast<const QTabBar *>(ancestor))
            return true;
    }
    return false;
}

// A label that shows a value is announced by what it shows: its name is its text, and its
// caption reaches it through the labelled-by relation of the caption's buddy ("current
// version: 2.9"). An edit exposes its text on its own, so it takes the caption as its name.
bool showsValue(const QWidget *field)
{
    return qobject_cast<const QLabel *>(field) != nullptr;
}

} // namespace

namespace CAccessible {

void labelField(QLabel *label, QWidget *field)
{
    label->setBuddy(field);
    if (!showsValue(field))
        field->setAccessibleName(withoutMnemonic(label->text()));
}

void nameControls(QWidget *root)
{
    // Labels first, so a field takes its label's caption even where it has one of its own.
    for (QLabel *label : root->findChildren<QLabel *>()) {
        QWidget *buddy = label->buddy();
        if (buddy != nullptr && !showsValue(buddy))
            buddy->setAccessibleName(withoutMnemonic(label->text()));
    }
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!isControl(widget) || !widget->accessibleName().isEmpty())
            continue;
        const QString caption = captionOf(widget);
        if (!caption.isEmpty())
            widget->setAccessibleName(caption);
    }
}

QList<QWidget *> unnamedControls(QWidget *root)
{
    QList<QWidget *> unnamed;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (!isControl(widget) || isPartOfComposite(widget))
            continue;
        if (widget->accessibleName().isEmpty() && captionOf(widget).isEmpty())
            unnamed.append(widget);
    }
    return unnamed;
}

} // namespace CAccessible
