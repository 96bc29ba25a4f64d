// The three parameter records a reader keeps, each described once: the device record (its
// fields differ by family), the network record and the special record.
#pragma once

#include "record_table.h"

#include <string>

namespace record {

extern const RecordTable deviceRecord;
extern const RecordTable networkRecord;
extern const RecordTable specialRecord;

// The device record's field that enables antenna 1..8 (Fir and Hazel).
std::string antennaField(int antenna);

}  // namespace record
