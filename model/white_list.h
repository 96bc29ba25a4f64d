// The reader's white list as people and files see it: each entry is 4 bytes written as 8 hex
// digits, a list file holds one entry per line. A write frame carries at most 387 entries, so
// longer lists go in several frames; the reader adds each frame's entries to the list it keeps.
// Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace whitelist {

using Entry = std::array<std::uint8_t, 4>;

inline constexpr std::size_t kMostPerWrite = 387;   // a write frame's data limit
inline constexpr std::size_t kMostEntries = 65535;  // counts and read selectors are 16 bits

// Eight hex digits (either case, blanks around them allowed), or nothing.
std::optional<Entry> parseEntry(std::string_view text);
// Eight upper-case hex digits.
std::string entryText(const Entry &entry);

struct ParsedList {
    std::vector<Entry> entries;
    std::string problem;  // empty when every line was an entry or blank
};
// One entry per line (LF or CRLF); blank lines are skipped. Stops at the first line that is
// not an entry, or past kMostEntries entries, and says which line.
ParsedList parseList(std::string_view text);
// One entry per line, each line ending in LF.
std::string listText(std::span<const Entry> entries);

// The list cut into write frames of at most kMostPerWrite entries, in order.
std::vector<std::span<const Entry>> writeFrames(std::span<const Entry> entries);

// Reads the whole list page by page: readPage(start) returns the entries from `start` on, as
// many as the reader puts in one answer, or nothing when the reader refused. Reading ends at
// an empty page, or when a page starts again with the list's first entry (a reader that
// ignores the start). Nothing when a page was refused.
using PageReader = std::function<std::optional<std::vector<Entry>>(std::uint16_t start)>;
std::optional<std::vector<Entry>> readAll(const PageReader &readPage);

}  // namespace whitelist
