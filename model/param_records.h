// The three parameter records a reader keeps, each described once: the device record (its
// fields differ by family), the network record and the special record.
#pragma once

#include "record_table.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace record {

extern const RecordTable deviceRecord;
extern const RecordTable networkRecord;
extern const RecordTable specialRecord;

// The device record's field that enables antenna 1..8 (Fir and Hazel).
std::string antennaField(int antenna);

// ---- A record by name, as tools read and change it -----------------------------------------

enum class RecordKind { Device, Network, Special };

// A record as it travels: the leading byte it is read with, which goes back unchanged with the
// next write, and its bytes.
struct ParamRecord {
    std::uint8_t lead = 0;
    std::vector<std::uint8_t> bytes;
};

// How a family's record travels: what is read, and how many of its bytes go back. A change
// writes back the bytes read with only the named fields changed, and the leading byte as read.
struct RecordPlan {
    const RecordTable *table;
    RecordKind kind;
    int readLength;
    int writeLength;
};

// "device", "network" or "special"; nothing for another name or a record the family lacks.
std::optional<RecordPlan> planFor(std::string_view name, readerfamily::Family family);

struct Assignment {
    const Field *field;
    Value value;
};

// "name=value" texts checked against the family's fields before anything is sent; nothing,
// with the reason, at the first text that is not name=value, names no field or holds a value
// the field does not take.
std::optional<std::vector<Assignment>> parseAssignments(const RecordPlan &plan,
                                                        readerfamily::Family family,
                                                        std::span<const std::string> texts,
                                                        std::string &reason);
void apply(const std::vector<Assignment> &assignments, std::span<std::uint8_t> record);

// Every field the family has, in table order: {"name":value,...}, lists by their choices.
std::string jsonObject(const RecordTable &table, readerfamily::Family family,
                       std::span<const std::uint8_t> record);

}  // namespace record
