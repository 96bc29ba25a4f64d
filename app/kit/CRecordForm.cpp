#include "kit/CRecordForm.h"

#include "kit/Accessible.h"
#include "kit/ParamInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

using record::Codec;
using record::Field;
using record::Value;

constexpr int byteDigits = 3; // 255
constexpr int wordDigits = 5; // 65535

bool isCheck(Codec codec)
{
    return codec == Codec::Flag || codec == Codec::Bit;
}

void limitEdit(QLineEdit *edit, const Field &field)
{
    switch (field.codec) {
    case Codec::Number:
        if (field.radix == record::Radix::Hex)
            paraminput::limitHex(edit, 2 * field.width);
        else
            paraminput::limitDecimal(edit, field.width == 1 ? byteDigits : wordDigits);
        return;
    case Codec::Hex:
        paraminput::limitHex(edit, 2 * field.width);
        return;
    case Codec::Ipv4:
        paraminput::limitIpAddress(edit);
        return;
    case Codec::Text:
        paraminput::limitText(edit, field.width - 1);
        return;
    default:
        return;
    }
}

void showValue(QWidget *control, const Field &field, const Value &value)
{
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        paraminput::showList(list, int(std::get<std::int64_t>(value)));
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        box->setChecked(std::get<bool>(value));
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        edit->setText(QString::fromStdString(record::textOf(field, value)));
    }
}

// A list without selection keeps the value it had.
Value valueOf(const QWidget *control, const Field &field, const Value &kept)
{
    if (const auto *list = qobject_cast<const QComboBox *>(control))
        return std::int64_t { paraminput::listValue(list, int(std::get<std::int64_t>(kept))) };
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->isChecked();
    const auto *edit = qobject_cast<const QLineEdit *>(control);
    return record::valueFromText(field, edit->text().toStdString());
}

} // namespace

CRecordForm::CRecordForm(
    const record::RecordTable &table, readerfamily::Family family, CaptionOf captionOf)
    : m_table(table)
    , m_family(family)
    , m_captionOf(std::move(captionOf))
{
}

const record::Field *CRecordForm::field(std::string_view name) const
{
    return record::find(m_table, name, m_family);
}

QWidget *CRecordForm::addRow(QFormLayout *form, const Control &control)
{
    const Field *found = field(control.field);
    if (!found)
        return nullptr;
    QWidget *parent = form->parentWidget();
    QWidget *made = createControl(parent, *found, control);
    if (isCheck(found->codec)) {
        form->addRow(made);
        return made;
    }
    auto *label = new QLabel(captionFor(*found, control), parent);
    accessible::labelField(label, made);
    if (control.note.isEmpty()) {
        form->addRow(label, made);
        return made;
    }
    auto *note = new QLabel(control.note, parent);
    note->setObjectName(QString::fromLatin1(control.objectName) + QStringLiteral("Note"));
    auto *row = new QHBoxLayout;
    row->addWidget(made, 1);
    row->addWidget(note);
    form->addRow(label, row);
    return made;
}

QWidget *CRecordForm::makeControl(QWidget *parent, const Control &control)
{
    const Field *found = field(control.field);
    return found ? createControl(parent, *found, control) : nullptr;
}

QWidget *CRecordForm::createControl(QWidget *parent, const Field &field, const Control &control)
{
    QWidget *made = nullptr;
    if (field.codec == Codec::List) {
        auto *list = new QComboBox(parent);
        list->addItems(control.items);
        made = list;
    } else if (isCheck(field.codec)) {
        made = new QCheckBox(captionFor(field, control), parent);
    } else {
        auto *edit = new QLineEdit(parent);
        limitEdit(edit, field);
        made = edit;
    }
    made->setObjectName(QString::fromLatin1(control.objectName));
    m_controls.emplace_back(&field, made);
    return made;
}

QString CRecordForm::captionFor(const Field &field, const Control &control) const
{
    return control.caption.isEmpty() ? m_captionOf(field) : control.caption;
}

QWidget *CRecordForm::control(std::string_view name) const
{
    for (const auto &[field, made] : m_controls)
        if (field->name == name)
            return made;
    return nullptr;
}

void CRecordForm::show(std::span<const std::uint8_t> record)
{
    m_shown = record::decode(m_table, record, m_family);
    for (const auto &[field, made] : m_controls)
        showValue(made, *field, record::decode(*field, record));
}

record::Values CRecordForm::values() const
{
    record::Values values = m_shown;
    for (const auto &[field, made] : m_controls) {
        // Before the first show a field has none: a number 0, as in an empty record.
        Value &value = values[std::string(field->name)];
        value = valueOf(made, *field, value);
    }
    return values;
}
