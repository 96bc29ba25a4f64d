// How the parameter page presents the device record: its groups in the order the page makes
// them, and per field the name of its control, where its list entries come from and the
// caption where the field's language text is not it.
#pragma once

#include "reader_family.h"
#include "record_table.h"
#include "text_keys.h"

#include <QStringList>

#include <optional>
#include <span>
#include <string_view>

class IMainWindowServices;

namespace devicerows {

// Where a list's entries come from: the field in the device record's table (its choices or
// its largest value), the family table, or the page's own fixed texts.
enum class Items {
    None,
    Numbers, // 0 .. the field's largest value
    PowerSteps, // the same in dBm
    BaudRates, // the field's choices in bps
    WorkModes, // the field's choices by their language texts
    Interfaces, // the family's
    Areas, // the family's
    Sessions, // 0 .. 3, and Auto where the family has it
    WiegandFormats,
    WiegandOrders,
    Targets,
    OutputFormats,
};

// One row of a group: the field, or the first of two that the family has and no row shows yet
// (the times at bytes 12 and 22 are named by their meaning, which differs by family, and their
// edits keep one name); its control's name; its list entries; a fixed caption where the
// field's language text is not it. An unlabelled list is named after its entries.
struct Row {
    std::string_view field;
    const char *objectName;
    Items items = Items::None;
    const char *caption = nullptr;
    std::string_view orField = {};
    bool unlabelled = false;
};

// Stands for the region list and the channel row, which are the page's own.
inline constexpr std::string_view channelPlanRows = "channel plan";

// A group box of the page; the page shows it when the family has its first field.
struct Group {
    const char *objectName;
    // The language text of its caption, else the fixed caption.
    std::optional<Text> captionKey;
    const char *caption;
    bool rightColumn;
    std::span<const Row> rows;
};

std::span<const Group> groups();

// The entries of a list row whose field (the family's) is `field`.
QStringList itemsOf(Items items, const record::Field &field,
    const readerfamily::FamilyTraits &traits, const IMainWindowServices &services);

} // namespace devicerows
