#pragma once

#include <QList>
#include <QString>

class QLabel;
class QWidget;

// Every control can be found by name: buttons, check boxes and group boxes by their caption,
// fields by the caption of their label (the label's buddy), other fields by a name of their
// own. Screen readers and UI automation use these names.
namespace CAccessible {

// Makes the label the field's caption (its buddy) and names the field after it; a field that
// is itself a label showing a value keeps its text as its name and is labelled by the caption.
void labelField(QLabel *label, QWidget *field);
// Names every control under root that has no name yet from its caption or its label; run it
// again after captions change.
void nameControls(QWidget *root);
// The controls under root a screen reader would announce without a name (for tests).
QList<QWidget *> unnamedControls(QWidget *root);

} // namespace CAccessible
