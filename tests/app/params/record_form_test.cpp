// The form built over a record's table: which control each kind of field gets and how it is
// limited and named, and how values go into the controls and come back.
#include "kit/CRecordForm.h"
#include "param_records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace {

using readerfamily::Family;

QString captionOf(const record::Field &field) {
    return QString::fromLatin1(field.name.data(), qsizetype(field.name.size())) + u':';
}

struct ControlCase {
    const record::RecordTable *table;
    Family family;
    const char *field;
    // Edits: their length limit; lists: their entries.
    int maxLength;
    QStringList items;
};

TEST(RecordForm, EachKindOfFieldGetsItsControlUnderItsCaption) {
    const std::vector<ControlCase> cases{
        {&record::deviceRecord, Family::Fir, "rf_power_dbm", 0, {"0dBm", "1dBm"}},
        {&record::deviceRecord, Family::Fir, "beeper", 0, {}},
        {&record::deviceRecord, Family::Fir, "antenna_3", 0, {}},
        {&record::deviceRecord, Family::Fir, "rs485_address", 2, {}},  // hex, one byte
        {&record::deviceRecord, Family::Fir, "filter_time_s", 3, {}},  // decimal, one byte
        {&record::deviceRecord, Family::Alder, "remote_port", 5, {}},  // decimal, two bytes
        {&record::deviceRecord, Family::Alder, "ssid", 31, {}},  // text: the field less its zero
        {&record::networkRecord, Family::Fir, "ip_address", 15, {}},
        {&record::networkRecord, Family::Fir, "mac", 12, {}},  // hex bytes
    };
    for (const ControlCase &each : cases) {
        SCOPED_TRACE(each.field);
        QWidget parent;
        auto *layout = new QFormLayout(&parent);
        CRecordForm form(*each.table, each.family, captionOf);
        QWidget *made =
            form.addRow(layout, {.field = each.field, .objectName = "made", .items = each.items});
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->objectName(), QStringLiteral("made"));
        EXPECT_EQ(form.control(each.field), made);
        const QString caption = QString::fromLatin1(each.field) + u':';
        if (const auto *box = qobject_cast<QCheckBox *>(made)) {
            EXPECT_EQ(box->text(), caption);
            continue;
        }
        const auto *label = qobject_cast<QLabel *>(layout->labelForField(made));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), caption);
        EXPECT_EQ(label->buddy(), made);
        if (const auto *list = qobject_cast<QComboBox *>(made)) {
            EXPECT_EQ(list->count(), each.items.size());
            continue;
        }
        const auto *edit = qobject_cast<QLineEdit *>(made);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->maxLength(), each.maxLength);
    }
}

TEST(RecordForm, AFieldTheFamilyLacksGetsNoControl) {
    QWidget parent;
    auto *layout = new QFormLayout(&parent);
    CRecordForm form(record::deviceRecord, Family::Birch2, captionOf);
    EXPECT_EQ(form.addRow(layout, {.field = "rs485_address", .objectName = "addressEdit"}),
              nullptr);
    EXPECT_EQ(form.addRow(layout, {.field = "no_such_field", .objectName = "none"}), nullptr);
    EXPECT_EQ(layout->rowCount(), 0);
    EXPECT_EQ(form.control("rs485_address"), nullptr);
}

TEST(RecordForm, ShowsARecordAndTakesTheControlsBack) {
    QWidget parent;
    auto *layout = new QFormLayout(&parent);
    CRecordForm form(record::deviceRecord, Family::Fir, captionOf);
    auto *power = qobject_cast<QComboBox *>(form.addRow(
        layout, {.field = "rf_power_dbm", .objectName = "powerList", .items = {"0", "1", "2"}}));
    auto *address = qobject_cast<QLineEdit *>(
        form.addRow(layout, {.field = "rs485_address", .objectName = "a"}));
    auto *beeper =
        qobject_cast<QCheckBox *>(form.addRow(layout, {.field = "beeper", .objectName = "b"}));
    auto *area = qobject_cast<QComboBox *>(
        form.addRow(layout, {.field = "area", .objectName = "areaList", .items = {"EPC", "TID"}}));
    ASSERT_TRUE(power && address && beeper && area);

    std::vector<std::uint8_t> bytes(25, 0);
    bytes[2] = 0x0A;
    bytes[4] = 7;  // outside the list
    bytes[5] = 1;
    bytes[9] = 1;
    bytes[12] = 9;  // no control: kept as shown
    form.show(bytes);
    EXPECT_EQ(power->currentIndex(), -1);
    EXPECT_EQ(address->text(), QStringLiteral("0A"));
    EXPECT_TRUE(beeper->isChecked());
    EXPECT_EQ(area->currentIndex(), 1);

    address->setText(QStringLiteral("1f"));
    beeper->setChecked(false);
    area->setCurrentIndex(0);
    const record::Values values = form.values();
    EXPECT_EQ(values.at("rf_power_dbm"), record::Value(std::int64_t{7}));  // no selection: as read
    EXPECT_EQ(values.at("rs485_address"), record::Value(std::int64_t{0x1F}));
    EXPECT_EQ(values.at("beeper"), record::Value(false));
    EXPECT_EQ(values.at("area"), record::Value(std::int64_t{0}));
    EXPECT_EQ(values.at("trigger_time"), record::Value(std::int64_t{9}));
}

}  // namespace
