#include "white_list.h"

#include <algorithm>

#include "hex_text.h"

namespace whitelist {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<Entry> parseEntry(std::string_view text) {
    text = trimmed(text);
    if (text.size() != 8) return std::nullopt;
    const std::optional<std::vector<std::uint8_t>> bytes = hextext::parse(text);
    if (!bytes) return std::nullopt;
    Entry entry{};
    std::copy(bytes->begin(), bytes->end(), entry.begin());
    return entry;
}

std::string entryText(const Entry &entry) {
    return hextext::compact(entry);
}

ParsedList parseList(std::string_view text) {
    ParsedList parsed;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (trimmed(line).empty()) continue;
        const std::optional<Entry> entry = parseEntry(line);
        if (!entry) {
            parsed.problem = "line " + std::to_string(lineNumber) + " is not 8 hex digits";
            return parsed;
        }
        if (parsed.entries.size() == kMostEntries) {
            parsed.problem = "line " + std::to_string(lineNumber) + " is past the " +
                             std::to_string(kMostEntries) + " entries a list can hold";
            return parsed;
        }
        parsed.entries.push_back(*entry);
    }
    return parsed;
}

std::string listText(std::span<const Entry> entries) {
    std::string text;
    text.reserve(entries.size() * 9);
    for (const Entry &entry : entries) text += entryText(entry) + '\n';
    return text;
}

std::vector<std::span<const Entry>> writeFrames(std::span<const Entry> entries) {
    std::vector<std::span<const Entry>> frames;
    for (std::size_t start = 0; start < entries.size(); start += kMostPerWrite)
        frames.push_back(entries.subspan(start, std::min(kMostPerWrite, entries.size() - start)));
    return frames;
}

std::optional<std::vector<Entry>> readAll(const PageReader &readPage) {
    std::vector<Entry> list;
    while (list.size() < kMostEntries) {
        const std::optional<std::vector<Entry>> page =
            readPage(static_cast<std::uint16_t>(list.size()));
        if (!page) return std::nullopt;
        if (page->empty() || (!list.empty() && page->front() == list.front())) break;
        const std::size_t room = kMostEntries - list.size();
        list.insert(list.end(), page->begin(),
                    page->begin() + static_cast<std::ptrdiff_t>(std::min(room, page->size())));
    }
    return list;
}

}  // namespace whitelist
