// The device profile file: what an export writes, and what an import accepts and takes from
// a file (real files in a temporary folder).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "profile/CIniFile.h"
#include "profile/device_profile.h"
#include "test_folder.h"

namespace {

using deviceprofile::Bytes;
using deviceprofile::Refusal;
using std::string;

Bytes pattern(std::uint8_t seed) {
    Bytes bytes(deviceprofile::recordLength);
    for (std::size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<std::uint8_t>(seed + index * 7);
    return bytes;
}

string spaced(const Bytes &bytes) {
    string text;
    char pair[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%.2X ", byte);
        text += pair;
    }
    return text;
}

string repeated(const string &text, int count) {
    string all;
    for (int index = 0; index < count; ++index) all += text;
    return all;
}

string lower(string text) {
    std::ranges::transform(text, text.begin(), [](char c) { return char(std::tolower(c)); });
    return text;
}

string replacedAll(string text, char from, char to) {
    std::ranges::replace(text, from, to);
    return text;
}

// A profile as earlier versions wrote it: no Records entry.
string profileText(const string &devType, const string &device, const string &network,
                   const string &special) {
    return "[DeviceParam]\r\nDevType=" + devType +
           "\r\nCreateTime=20310307090501\r\nDevParam=" + device + "\r\nNetParam=" + network +
           "\r\nSpecialParam=" + special + "\r\n";
}

// 9:05:01 on 7 March 2031, local time.
std::time_t created() {
    std::tm local{};
    local.tm_year = 2031 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 1;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class DeviceProfileTest : public ::testing::Test {
  protected:
    string path() const { return m_folder.filePath("profile.ini"); }
    deviceprofile::Decoded decodeFile(const string &bytes) const {
        writeFile(path(), bytes);
        return deviceprofile::decode(CIniFile(path()).load());
    }

    TestFolder m_folder;
};

TEST_F(DeviceProfileTest, ExportWritesExactlyTheProfileText) {
    const string createTime = deviceprofile::createTimeText(created());
    EXPECT_EQ(createTime, "20310307090501");
    EXPECT_EQ(deviceprofile::proposedName(created()), "Device20310307090501");
    struct Case {
        const char *name;
        deviceprofile::Records records;
        string held;
    };
    const Case cases[] = {
        {"every record", {0x0A, pattern(1), pattern(2), Bytes(200, 0)}, "device,network,special"},
        // Records not read are zeros, for earlier readers of the file, and left out of Records.
        {"device only", {0x0A, pattern(1), {}, {}}, "device"},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        std::filesystem::remove(path());
        ASSERT_EQ(deviceprofile::write(path(), each.records, createTime), "");
        // Each record is 600 characters ending with a space, without quotes.
        const string zeros = repeated("00 ", 200);
        const auto textOf = [&](const Bytes &record) {
            return record.empty() ? zeros : spaced(record);
        };
        EXPECT_EQ(readFile(path()),
                  "[DeviceParam]\nDevType=0A\nCreateTime=20310307090501\nDevParam=" +
                      textOf(each.records.device) + "\nNetParam=" + textOf(each.records.network) +
                      "\nSpecialParam=" + textOf(each.records.special) + "\nRecords=" + each.held +
                      "\n");
        const deviceprofile::Decoded read = deviceprofile::decode(CIniFile(path()).load());
        ASSERT_EQ(read.refusal, Refusal::None);
        EXPECT_EQ(read.records.heldNames(), each.records.heldNames());
        EXPECT_EQ(read.records.special, each.records.special) << "a zero record read is kept";
    }

    // A file already there is left as it was; Replace puts the profile in its place.
    writeFile(path(), "kept");
    EXPECT_NE(deviceprofile::write(path(), cases[0].records, createTime), "");
    EXPECT_EQ(readFile(path()), "kept");
    EXPECT_EQ(deviceprofile::write(path(), cases[0].records, createTime,
                                   deviceprofile::Existing::Replace),
              "");
    EXPECT_EQ(readFile(path()).substr(0, 13), "[DeviceParam]");
}

// The same 200 bytes of each record come back from a profile written by hand (unquoted, each
// record ending with its space), by an export of this program and by earlier builds (records
// in quotes); and exporting what was read gives them again. In files without Records a
// special record of zeros stands for one not read.
TEST_F(DeviceProfileTest, RecordsSurviveEveryFormOfTheFile) {
    const string createTime = deviceprofile::createTimeText(created());
    using Writer = std::function<void(const string &, const deviceprofile::Records &)>;
    const auto byHand = [](const string &after) {
        return [after](const string &file, const deviceprofile::Records &records) {
            writeFile(file, profileText("02", spaced(records.device) + after,
                                        spaced(records.network) + after,
                                        spaced(records.special) + after));
        };
    };
    struct Form {
        const char *name;
        Writer write;
        bool namesRecords;
    };
    const Form forms[] = {
        {"by hand", byHand(""), false},
        {"by hand, blanks after the final space", byHand(" \t "), false},
        {"by this program",
         [&](const string &file, const deviceprofile::Records &records) {
             ASSERT_EQ(deviceprofile::write(file, records, createTime), "");
         },
         true},
        {"by earlier builds",
         [](const string &file, const deviceprofile::Records &records) {
             writeFile(file, profileText("02", '"' + spaced(records.device) + '"',
                                         '"' + spaced(records.network) + '"',
                                         '"' + spaced(records.special) + '"'));
         },
         false},
    };
    const std::pair<const char *, deviceprofile::Records> recordSets[] = {
        {"last bytes set", {0x02, pattern(1), pattern(2), pattern(3)}},
        {"all zero", {0x02, Bytes(200, 0), Bytes(200, 0), Bytes(200, 0)}},
    };
    int fileNumber = 0;
    for (const Form &form : forms) {
        for (const auto &[setName, records] : recordSets) {
            SCOPED_TRACE(string(form.name) + ", " + setName);
            const string written = m_folder.filePath(std::to_string(++fileNumber));
            form.write(written, records);
            const deviceprofile::Decoded read = deviceprofile::decode(CIniFile(written).load());
            ASSERT_EQ(read.refusal, Refusal::None);
            EXPECT_EQ(read.records.device, records.device);
            EXPECT_EQ(read.records.network, records.network);
            const bool zeroSpecial = records.special == Bytes(200, 0);
            EXPECT_EQ(read.records.special,
                      zeroSpecial && !form.namesRecords ? Bytes() : records.special);

            const string again = written + ".again";
            ASSERT_EQ(deviceprofile::write(again, read.records, createTime), "");
            const deviceprofile::Decoded reread = deviceprofile::decode(CIniFile(again).load());
            EXPECT_EQ(reread.records.device, read.records.device);
            EXPECT_EQ(reread.records.network, read.records.network);
            EXPECT_EQ(reread.records.special, read.records.special);
        }
    }
    EXPECT_NE(pattern(1).back(), 0);
}

TEST_F(DeviceProfileTest, ImportAcceptsProfilesAndRefusesOtherFiles) {
    const Bytes device = pattern(3);
    const string good = spaced(device);
    Bytes lastLost = device;
    lastLost.back() = 0;
    Bytes lowNibbles(200, 0xAB);
    const string longText = spaced(pattern(4)) + spaced(pattern(5)).substr(0, 300);
    string binary(700, '\0');
    for (std::size_t index = 0; index < binary.size(); ++index)
        binary[index] = static_cast<char>(index * 37 + 11);
    const string withRecords = "[DeviceParam]\nDevType=02\nDevParam=" + good + "\nRecords=";

    struct Case {
        const char *name;
        string file;
        Refusal refusal;
        string refusedKey;
        // The device record taken when accepted, and the records held.
        Bytes device;
        std::vector<string> held;
    };
    const std::vector<string> all{"device", "network", "special"};
    const Case cases[] = {
        {"quoted", profileText("02", '"' + good + '"', good, good), Refusal::None, {}, device, all},
        {"unquoted", profileText("02", good, good, good), Refusal::None, {}, device, all},
        {"no final space",
         profileText("02", good.substr(0, good.size() - 1), good, good),
         Refusal::None,
         {},
         lastLost,
         all},
        {"quoted, no final space",
         profileText("02", '"' + good.substr(0, good.size() - 1) + '"', good, good),
         Refusal::None,
         {},
         lastLost,
         all},
        {"lower case",
         profileText("02", '"' + lower(spaced(lowNibbles)) + '"', good, good),
         Refusal::None,
         {},
         lowNibbles,
         all},
        // Longer texts are cut.
        {"long text", profileText("02", longText, good, good), Refusal::None, {}, pattern(4), all},
        // Only the records named count; the others need no text at all.
        {"device named", withRecords + "device\n", Refusal::None, {}, device, {"device"}},
        {"unknown record named",
         withRecords + "device,clock\n",
         Refusal::RecordText,
         "Records",
         {},
         {}},
        {"named record missing",
         withRecords + "device,network\n",
         Refusal::RecordText,
         "NetParam",
         {},
         {}},
        {"DevType missing",
         "[DeviceParam]\nDevParam=" + good + "\nNetParam=" + good + "\nSpecialParam=" + good + "\n",
         Refusal::DeviceType,
         {},
         {},
         {}},
        {"DevType of one character",
         profileText("2", good, good, good),
         Refusal::DeviceType,
         {},
         {},
         {}},
        {"DevType of three characters",
         profileText("002", good, good, good),
         Refusal::DeviceType,
         {},
         {},
         {}},
        {"binary file", binary, Refusal::DeviceType, {}, {}, {}},
        {"binary records",
         profileText("02", binary.substr(0, 600), good, good),
         Refusal::RecordText,
         "DevParam",
         {},
         {}},
        {"NetParam missing",
         "[DeviceParam]\nDevType=02\nDevParam=" + good + "\nSpecialParam=" + good + "\n",
         Refusal::RecordText,
         "NetParam",
         {},
         {}},
        {"cut inside NetParam",
         profileText("02", good, good, good).substr(0, 900),
         Refusal::RecordText,
         "NetParam",
         {},
         {}},
        {"cut inside SpecialParam",
         [&] {
             const string whole = profileText("02", good, good, good);
             return whole.substr(0, whole.size() - 40);
         }(),
         Refusal::RecordText,
         "SpecialParam",
         {},
         {}},
        {"not hex",
         profileText("02", good, good, replacedAll(good, '0', 'G')),
         Refusal::RecordText,
         "SpecialParam",
         {},
         {}},
        {"comma separated",
         profileText("02", replacedAll(good, ' ', ','), good, good),
         Refusal::RecordText,
         "DevParam",
         {},
         {}},
        {"dangling digit",
         profileText("02", good + "A", good, good),
         Refusal::RecordText,
         "DevParam",
         {},
         {}},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        const deviceprofile::Decoded decoded = decodeFile(each.file);
        EXPECT_EQ(decoded.refusal, each.refusal);
        EXPECT_EQ(decoded.refusedKey, each.refusedKey);
        EXPECT_EQ(decoded.records.device, each.device);
        EXPECT_EQ(decoded.records.heldNames(), each.held);
        for (const deviceprofile::Record record : deviceprofile::everyRecord) {
            const Bytes &bytes = decoded.records[record];
            EXPECT_TRUE(bytes.empty() || bytes.size() == 200u);
        }
    }
}

// A file is read only when it is a regular file of profile size.
TEST_F(DeviceProfileTest, LoadRefusesWhatIsNoFile) {
    writeFile(path(), string(deviceprofile::largestFile + 1, ';'));
    const std::pair<string, string> cases[] = {
        {m_folder.filePath("missing"), "no such file"},
        {m_folder.filePath(""), "not a regular file"},
        {path(), "too large to be a device profile"},
    };
    for (const auto &[file, error] : cases) {
        SCOPED_TRACE(file);
        EXPECT_EQ(deviceprofile::load(file).error, error);
    }
    writeFile(path(),
              profileText("02", spaced(pattern(1)), spaced(pattern(2)), spaced(pattern(3))));
    const deviceprofile::Loaded loaded = deviceprofile::load(path());
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.decoded.records.special, pattern(3));
}

TEST(DeviceProfileImport, TheTargetKeepsItsOwnMac) {
    const Bytes imported = pattern(2);
    const Bytes own = pattern(90);
    const Bytes written = deviceprofile::withOwnMac(imported, own);
    ASSERT_EQ(written.size(), imported.size());
    EXPECT_TRUE(std::equal(own.begin(), own.begin() + 6, written.begin()));
    EXPECT_TRUE(std::equal(imported.begin() + 6, imported.end(), written.begin() + 6));
}

}  // namespace
