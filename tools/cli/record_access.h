// The record commands of a reader handle as the model's record steps (parameters by name,
// profile export and import) take them.
#pragma once

#include "QnReader.h"
#include "record_params.h"

namespace cli {

// Reads, writes and restores the device, network and special records of `reader`, which must
// stay open while the access is used.
record::RecordAccess recordAccess(QnReader *reader);

}  // namespace cli
