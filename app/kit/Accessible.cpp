#include "kit/Accessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
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

// Buttons, check boxes, radio buttons and group boxes show their own caption; Qt names them
// from it whenever it is asked, so a caption that changes at run time is announced as shown.
// A fixed name would keep announcing the first caption.
bool showsOwnCaption(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) != nullptr
        || qobject_cast<const QGroupBox *>(widget) != nullptr;
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
// A control with a caption of its own keeps it.
bool takesLabelAsName(const QWidget *field)
{
    return qobject_cast<const QLabel *>(field) == nullptr && !showsOwnCaption(field);
}

} // namespace

namespace accessible {

void labelField(QLabel *label, QWidget *field)
{
    label->setBuddy(field);
    if (takesLabelAsName(field))
        field->setAccessibleName(withoutMnemonic(label->text()));
}

void nameControls(QWidget *root)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        QWidget *buddy = label->buddy();
        if (buddy != nullptr && takesLabelAsName(buddy))
            buddy->setAccessibleName(withoutMnemonic(label->text()));
    }
    // A picture button without a caption is announced by its tool tip.
    for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
        if (button->accessibleName().isEmpty() && withoutMnemonic(button->text()).isEmpty())
            button->setAccessibleName(button->toolTip());
    }
}

QString nameOf(QWidget *widget)
{
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(widget);
    return node != nullptr ? node->text(QAccessible::Name) : QString();
}

QList<QWidget *> unnamedControls(QWidget *root)
{
    QList<QWidget *> unnamed;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        if (isControl(widget) && !isPartOfComposite(widget) && nameOf(widget).trimmed().isEmpty())
            unnamed.append(widget);
    }
    return unnamed;
}

} // namespace accessible
