// A reader's parameter records by field name: read, changed by "name=value" texts and restored
// to factory values. One implementation for every tool: the handle library and tagbench-cli
// reach the reader through their own RecordAccess and share the steps and checks here.
#pragma once

#include "param_records.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace record {

// How the steps reach a reader. A read gives nothing and a write or a restore false when the
// reader refused or did not answer.
struct RecordAccess {
    std::function<std::optional<ParamRecord>(RecordKind kind, int length)> read;
    std::function<bool(RecordKind kind, const ParamRecord &record)> write;
    // The reader's factory record (device and network records only).
    std::function<bool(RecordKind kind)> restoreDefault;
};

enum class ParamsFailure {
    None,
    // Checked before anything is sent: a record the family lacks, a text that names no field
    // or holds a value the field does not take.
    Refused,
    // The reader refused or did not answer.
    Reader,
};

struct ParamsOutcome {
    ParamsFailure failure = ParamsFailure::None;
    // Why, as one line, when it failed.
    std::string reason;
    // The record's table and, after a get, the bytes read.
    const RecordTable *table = nullptr;
    std::vector<std::uint8_t> bytes;

    explicit operator bool() const { return failure == ParamsFailure::None; }
};

// The family's record "device", "network" or "special" as the reader holds it.
ParamsOutcome getParams(const RecordAccess &reader, readerfamily::Family family,
                        std::string_view name);
// Reads the record, changes the named fields and writes it back with the leading byte as read;
// every other byte stays as read. Nothing is sent when a text is refused.
ParamsOutcome setParams(const RecordAccess &reader, readerfamily::Family family,
                        std::string_view name, std::span<const std::string> assignments);
// Restores the record's factory values (the special record has none).
ParamsOutcome defaultParams(const RecordAccess &reader, readerfamily::Family family,
                            std::string_view name);

// Every field the family has, in table order, as "name=value" lines that setParams takes back.
std::vector<std::string> assignmentLines(const RecordTable &table, readerfamily::Family family,
                                         std::span<const std::uint8_t> record);

}  // namespace record
