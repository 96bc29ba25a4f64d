// How values are written: upper-case hex, JSON strings, UTC times, and the output formats
// of the tag streams.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "json_text.h"
#include "tag_text.h"

namespace cli {

enum class Format { Table, Csv, Ndjson };

// --format as typed, or empty: ndjson with --json or when stdout is not a terminal,
// a table otherwise. --json with another --format is a usage error.
Format chooseFormat(const std::string &typed, bool json);

using tagtext::utcText;

// Writes `text` and a line end to stdout and flushes, so pipes see every line as it comes.
void printLine(const std::string &text);
// A command that has nothing to report: "{}" with --json, so a script always gets a
// document, and nothing otherwise.
void printDone(bool json);

}  // namespace cli
