// What sets one family's parameter page apart from the others: the record fields it owns, the
// captions of the fields that change meaning, the interface that switches a group, its extra
// operations. The lists and record lengths come from the family table (reader_family).
#pragma once

#include "params/DeviceParamRecord.h"
#include "reader_family.h"

#include <optional>

namespace paramfamily {

struct ParamFamily {
    readerfamily::Family family;
    deviceparam::RecordLayout layout;
    // Language texts of byte 12 and byte 22 (0: the page has no byte 22).
    int byte12Caption;
    int responseTimeCaption;
    // Interface index that shows the WIFI group (Alder) or disables the byte length
    // ("Weigand").
    std::optional<int> wifiInterface;
    std::optional<int> weigandInterface;
    bool deviceTime;
    // After a profile import the page shows the device record written, as if just read.
    bool showsImportedRecord;
};

const ParamFamily &paramFamilyOf(readerfamily::Family family);

} // namespace paramfamily
