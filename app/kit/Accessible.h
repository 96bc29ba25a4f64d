#pragma once

#include <QList>
#include <QString>

class QLabel;
class QWidget;

// Every control can be found by name. Buttons, check boxes, radio buttons and group boxes are
// named by the caption they show, at every moment (no fixed name is set on them, so a caption
// that changes is announced as it changes); fields without text of their own by the caption of
// their label (the label's buddy); other fields by a name of their own. Screen readers and UI
// automation use these names.
namespace accessible {

// Makes the label the field's caption (its buddy) and names the field after it; a field that
// is itself a label showing a value keeps its text as its name and is labelled by the caption.
void labelField(QLabel *label, QWidget *field);
// Names every field under root after its label, and picture buttons without a caption after
// their tool tip; run it again after labels change.
void nameControls(QWidget *root);
// The name assistive tools are given for the widget.
QString nameOf(QWidget *widget);
// The controls under root a screen reader would announce without a name (for tests).
QList<QWidget *> unnamedControls(QWidget *root);

} // namespace accessible
