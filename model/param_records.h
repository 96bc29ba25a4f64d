// The three parameter records a reader keeps, each described once: the device record (its
// fields differ by family), the network record and the special record.
#pragma once

#include "record_table.h"

namespace record {

extern const RecordTable deviceRecord;
extern const RecordTable networkRecord;
extern const RecordTable specialRecord;

} // namespace record
