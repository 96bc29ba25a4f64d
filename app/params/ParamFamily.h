// What sets one family's parameter page apart from the others beyond its fields (which the
// device record's table gives, captions that change by family included): the interface that
// switches a group, its extra operations. The lists and record lengths come from the family
// table (reader_family).
#pragma once

#include "reader_family.h"

#include <optional>

namespace paramfamily {

struct ParamFamily {
    readerfamily::Family family;
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
