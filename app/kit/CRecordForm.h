// The controls of one parameter record's fields, built from the record's table for one reader
// family: a list, a check box or a limited edit per field, shown from a record's bytes and
// taken back as the values to write. A page places the controls and keeps only what is its
// own (lists that depend on each other, groups shown by a choice).
#pragma once

#include "record_table.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

class QFormLayout;

class CRecordForm {
public:
    // The caption of a field that has none of its own: its language text (Field::captionKey).
    using CaptionOf = std::function<QString(const record::Field &)>;

    // One field's control.
    struct Control {
        // The field's name in the table.
        std::string_view field;
        const char *objectName;
        // Empty: the field's language text.
        QString caption = {};
        // The entries of a list, by position.
        QStringList items = {};
        // An edit's second label after it (a unit or a hint); its object name is the edit's
        // with "Note" appended.
        QString note = {};
    };

    CRecordForm(const record::RecordTable &table, readerfamily::Family family, CaptionOf captionOf);

    // The family's field of that name; null when the family has none.
    const record::Field *field(std::string_view name) const;

    // Adds the field's control as a row of the form: a list of the items, a check box with the
    // caption, or an edit under its caption, limited to what the field holds (hex or decimal
    // digits by radix and width, an address, the text bytes). Null, and nothing added, when
    // the family has no such field.
    QWidget *addRow(QFormLayout *form, const Control &control);
    // The same control made for a layout of the page's own: the caller places it (a check box
    // carries its caption, other controls are left unlabelled).
    QWidget *makeControl(QWidget *parent, const Control &control);

    // The field's control; null when the form has none.
    QWidget *control(std::string_view name) const;
    template <typename Widget> Widget *control(std::string_view name) const
    {
        return qobject_cast<Widget *>(control(name));
    }

    // Shows every field of the record that has a control (bytes past its end read as 0) and
    // keeps all the family's values for values(). A value outside a list leaves it without
    // selection.
    void show(std::span<const std::uint8_t> record);
    // The values last shown (empty before the first show).
    const record::Values &shown() const { return m_shown; }
    // What the controls hold over the values last shown: a list without selection keeps the
    // value last shown; fields without a control keep theirs.
    record::Values values() const;

private:
    QWidget *createControl(QWidget *parent, const record::Field &field, const Control &control);
    QString captionFor(const record::Field &field, const Control &control) const;

    const record::RecordTable &m_table;
    readerfamily::Family m_family;
    CaptionOf m_captionOf;
    std::vector<std::pair<const record::Field *, QWidget *>> m_controls;
    record::Values m_shown;
};
