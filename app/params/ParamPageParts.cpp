#include "params/ParamPageParts.h"

#include "kit/CAccessible.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace parampage {

QLineEdit *addEdit(QFormLayout *form, const char *name, const QString &caption)
{
    auto *edit = new QLineEdit(form->parentWidget());
    edit->setObjectName(QString::fromLatin1(name));
    auto *label = new QLabel(caption, form->parentWidget());
    CAccessible::labelField(label, edit);
    form->addRow(label, edit);
    return edit;
}

QLineEdit *addEdit(
    QFormLayout *form, const char *name, const QString &caption, const QString &note)
{
    QWidget *parent = form->parentWidget();
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    auto *label = new QLabel(caption, parent);
    CAccessible::labelField(label, edit);
    auto *noteLabel = new QLabel(note, parent);
    noteLabel->setObjectName(QString::fromLatin1(name) + QStringLiteral("Note"));
    auto *row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(noteLabel);
    form->addRow(label, row);
    return edit;
}

QCheckBox *addCheck(QFormLayout *form, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, form->parentWidget());
    box->setObjectName(QString::fromLatin1(name));
    form->addRow(box);
    return box;
}

void layOutScrolling(QWidget *page, QWidget *form, QWidget *buttonRow)
{
    auto *scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttonRow);
}

QPushButton *addButton(QWidget *parent, CBusyState &busy, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    busy.addControl(button);
    return button;
}

} // namespace parampage
