#include "white_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using whitelist::Entry;

TEST(WhiteListTest, EntriesAreEightHexDigits) {
    const struct {
        const char *text;
        std::optional<Entry> entry;
    } cases[] = {
        {"0A1b2C3d", Entry{0x0A, 0x1B, 0x2C, 0x3D}},
        {"  FFFFFFFF\r", Entry{0xFF, 0xFF, 0xFF, 0xFF}},
        {"00000000", Entry{}},
        {"0A1B2C3", std::nullopt},
        {"0A1B2C3D4", std::nullopt},
        {"0A1B2C3G", std::nullopt},
        {"0A 1B2C3", std::nullopt},
        {"+A1B2C3D", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &each : cases)
        EXPECT_EQ(whitelist::parseEntry(each.text), each.entry) << each.text;
    EXPECT_EQ(whitelist::entryText({0x0A, 0x1B, 0x2C, 0x3D}), "0A1B2C3D");
}

TEST(WhiteListTest, ListFilesHoldOneEntryPerLine) {
    const whitelist::ParsedList parsed = whitelist::parseList("0A1B2C3D\r\n\n  00000001\nFFFFFFFF");
    EXPECT_TRUE(parsed.problem.empty());
    ASSERT_EQ(parsed.entries.size(), 3u);
    EXPECT_EQ(whitelist::listText(parsed.entries), "0A1B2C3D\n00000001\nFFFFFFFF\n");
    EXPECT_EQ(whitelist::parseList("00000001\nnonsense\n").problem, "line 2 is not 8 hex digits");

    std::string tooMany;
    for (std::size_t index = 0; index <= whitelist::kMostEntries; ++index) tooMany += "00000001\n";
    const whitelist::ParsedList cut = whitelist::parseList(tooMany);
    EXPECT_EQ(cut.entries.size(), whitelist::kMostEntries);
    EXPECT_NE(cut.problem.find("line 65536"), std::string::npos) << cut.problem;
}

TEST(WhiteListTest, LongListsGoInFramesOfAtMost387Entries) {
    for (const std::size_t count : {0u, 1u, 387u, 388u, 1000u}) {
        const std::vector<Entry> entries(count);
        std::size_t total = 0;
        const auto frames = whitelist::writeFrames(entries);
        for (const auto &frame : frames) {
            EXPECT_LE(frame.size(), 387u);
            EXPECT_EQ(frame.data(), entries.data() + total);
            total += frame.size();
        }
        EXPECT_EQ(total, count);
        EXPECT_EQ(frames.size(), (count + 386) / 387);
    }
}

// A reader answering at most `page` entries from the start it is given, or ignoring it.
struct PagedReader {
    std::vector<Entry> list;
    std::size_t page = 362;
    bool ignoresStart = false;
    int refuseAt = -1;
    std::vector<std::uint16_t> starts;

    std::optional<std::vector<Entry>> operator()(std::uint16_t start) {
        starts.push_back(start);
        if (static_cast<int>(starts.size()) - 1 == refuseAt) return std::nullopt;
        const std::size_t first = ignoresStart ? 0 : std::min<std::size_t>(start, list.size());
        const std::size_t count = std::min(page, list.size() - first);
        return std::vector<Entry>(list.begin() + first, list.begin() + first + count);
    }
};

TEST(WhiteListTest, ReadingPagesThroughTheWholeList) {
    PagedReader reader;
    for (std::uint8_t index = 0; index < 200; ++index) {
        reader.list.push_back({0, 0, 1, index});
        reader.list.push_back({0, 0, 2, index});
        reader.list.push_back({0, 0, 3, index});
        reader.list.push_back({0, 0, 4, index});
    }
    EXPECT_EQ(whitelist::readAll(std::ref(reader)), reader.list);
    EXPECT_EQ(reader.starts, (std::vector<std::uint16_t>{0, 362, 724, 800}));

    reader.starts.clear();
    reader.ignoresStart = true;
    EXPECT_EQ(whitelist::readAll(std::ref(reader))->size(), 362u);
    EXPECT_EQ(reader.starts.size(), 2u);

    reader.starts.clear();
    reader.refuseAt = 1;
    reader.ignoresStart = false;
    EXPECT_FALSE(whitelist::readAll(std::ref(reader)).has_value());
}

}  // namespace
