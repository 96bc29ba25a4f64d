// The device profile file: what an export writes, and what an import accepts and takes from
// a file (real files in a temporary folder).
#include "kit/CIniFile.h"
#include "shell/CDeviceProfile.h"
#include "test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using deviceprofile::Refusal;

Bytes pattern(std::uint8_t seed) {
    Bytes bytes(deviceprofile::recordLength);
    for (std::size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<std::uint8_t>(seed + index * 7);
    return bytes;
}

QByteArray spaced(const Bytes &bytes) {
    QByteArray text;
    for (const std::uint8_t byte : bytes) text += QString::asprintf("%.2X ", byte).toLatin1();
    return text;
}

QByteArray profileText(const QByteArray &devType, const QByteArray &device,
                       const QByteArray &network, const QByteArray &special) {
    return "[DeviceParam]\r\nDevType=" + devType +
           "\r\nCreateTime=20310307090501\r\nDevParam=" + device + "\r\nNetParam=" + network +
           "\r\nSpecialParam=" + special + "\r\n";
}

class DeviceProfileTest : public ::testing::Test {
  protected:
    QString path() const { return m_folder.filePath(QStringLiteral("profile.ini")); }
    deviceprofile::Decoded decodeFile(const QByteArray &bytes) const {
        writeFile(path(), bytes);
        return deviceprofile::decode(CIniFile(path()).load());
    }

    QTemporaryDir m_folder;
};

TEST_F(DeviceProfileTest, ExportWritesExactlyTheProfileText) {
    const deviceprofile::Records records{0x0A, pattern(1), pattern(2), Bytes(200, 0)};
    const QDateTime created(QDate(2031, 3, 7), QTime(9, 5, 1));
    EXPECT_EQ(deviceprofile::proposedName(created), QStringLiteral("Device20310307090501"));
    ASSERT_EQ(deviceprofile::write(path(), records, created), QString());

    // Each record is 600 characters ending with a space, without quotes.
    EXPECT_EQ(readFile(path()), "[DeviceParam]\nDevType=0A\nCreateTime=20310307090501\nDevParam=" +
                                    spaced(records.device) +
                                    "\nNetParam=" + spaced(records.network) +
                                    "\nSpecialParam=" + QByteArray("00 ").repeated(200) + "\n");

    // A file already there is left as it was.
    writeFile(path(), "kept");
    EXPECT_NE(deviceprofile::write(path(), records, created), QString());
    EXPECT_EQ(readFile(path()), "kept");
}

// The same 200 bytes of each record come back from a profile written by hand (unquoted, each
// record ending with its space), by an export of this program and by earlier builds (records
// in quotes); and exporting what was read gives them again.
TEST_F(DeviceProfileTest, RecordsSurviveEveryFormOfTheFile) {
    const QDateTime created(QDate(2031, 3, 7), QTime(9, 5, 1));
    using Writer = std::function<void(const QString &, const deviceprofile::Records &)>;
    const auto byHand = [](const QByteArray &after) {
        return [after](const QString &file, const deviceprofile::Records &records) {
            writeFile(file, profileText("02", spaced(records.device) + after,
                                        spaced(records.network) + after,
                                        spaced(records.special) + after));
        };
    };
    const std::pair<const char *, Writer> forms[] = {
        {"by hand", byHand("")},
        {"by hand, blanks after the final space", byHand(" \t ")},
        {"by this program",
         [&](const QString &file, const deviceprofile::Records &records) {
             ASSERT_EQ(deviceprofile::write(file, records, created), QString());
         }},
        {"by earlier builds",
         [](const QString &file, const deviceprofile::Records &records) {
             writeFile(file, profileText("02", '"' + spaced(records.device) + '"',
                                         '"' + spaced(records.network) + '"',
                                         '"' + spaced(records.special) + '"'));
         }},
    };
    const std::pair<const char *, deviceprofile::Records> recordSets[] = {
        {"last bytes set", {0x02, pattern(1), pattern(2), pattern(3)}},
        {"all zero", {0x02, Bytes(200, 0), Bytes(200, 0), Bytes(200, 0)}},
    };
    int fileNumber = 0;
    for (const auto &[formName, writeForm] : forms) {
        for (const auto &[setName, records] : recordSets) {
            SCOPED_TRACE(std::string(formName) + ", " + setName);
            const QString written = m_folder.filePath(QString::number(++fileNumber));
            writeForm(written, records);
            const deviceprofile::Decoded read = deviceprofile::decode(CIniFile(written).load());
            ASSERT_EQ(read.refusal, Refusal::None);
            EXPECT_EQ(read.records.device, records.device);
            EXPECT_EQ(read.records.network, records.network);
            EXPECT_EQ(read.records.special, records.special);

            const QString again = written + QStringLiteral(".again");
            const deviceprofile::Records exported{0x02, read.records.device, read.records.network,
                                                  read.records.special};
            ASSERT_EQ(deviceprofile::write(again, exported, created), QString());
            const deviceprofile::Decoded reread = deviceprofile::decode(CIniFile(again).load());
            EXPECT_EQ(reread.records.device, records.device);
            EXPECT_EQ(reread.records.network, records.network);
            EXPECT_EQ(reread.records.special, records.special);
        }
    }
    EXPECT_NE(pattern(1).back(), 0);
}

TEST_F(DeviceProfileTest, ImportAcceptsProfilesAndRefusesOtherFiles) {
    const Bytes device = pattern(3);
    const QByteArray good = spaced(device);
    Bytes lastLost = device;
    lastLost.back() = 0;
    Bytes lowNibbles(200, 0xAB);
    QByteArray longText = spaced(pattern(4)) + spaced(pattern(5)).left(300);
    QByteArray binary(700, '\0');
    for (int index = 0; index < binary.size(); ++index)
        binary[index] = static_cast<char>(index * 37 + 11);

    struct Case {
        const char *name;
        QByteArray file;
        Refusal refusal;
        QString refusedKey;
        // The device record taken when accepted.
        Bytes device;
    };
    const Case cases[] = {
        {"quoted", profileText("02", '"' + good + '"', good, good), Refusal::None, {}, device},
        {"unquoted", profileText("02", good, good, good), Refusal::None, {}, device},
        {"no final space",
         profileText("02", good.chopped(1), good, good),
         Refusal::None,
         {},
         lastLost},
        {"quoted, no final space",
         profileText("02", '"' + good.chopped(1) + '"', good, good),
         Refusal::None,
         {},
         lastLost},
        {"lower case",
         profileText("02", '"' + spaced(lowNibbles).toLower() + '"', good, good),
         Refusal::None,
         {},
         lowNibbles},
        // Longer texts are cut.
        {"long text", profileText("02", longText, good, good), Refusal::None, {}, pattern(4)},
        {"DevType missing",
         "[DeviceParam]\nDevParam=" + good + "\nNetParam=" + good + "\nSpecialParam=" + good + "\n",
         Refusal::DeviceType,
         {},
         {}},
        {"DevType of one character",
         profileText("2", good, good, good),
         Refusal::DeviceType,
         {},
         {}},
        {"DevType of three characters",
         profileText("002", good, good, good),
         Refusal::DeviceType,
         {},
         {}},
        {"binary file", binary, Refusal::DeviceType, {}, {}},
        {"binary records",
         profileText("02", binary.left(600), good, good),
         Refusal::RecordText,
         QStringLiteral("DevParam"),
         {}},
        {"NetParam missing",
         "[DeviceParam]\nDevType=02\nDevParam=" + good + "\nSpecialParam=" + good + "\n",
         Refusal::RecordText,
         QStringLiteral("NetParam"),
         {}},
        {"cut inside NetParam",
         profileText("02", good, good, good).left(900),
         Refusal::RecordText,
         QStringLiteral("NetParam"),
         {}},
        {"cut inside SpecialParam",
         profileText("02", good, good, good).chopped(40),
         Refusal::RecordText,
         QStringLiteral("SpecialParam"),
         {}},
        {"not hex",
         profileText("02", good, good, QByteArray(good).replace("0", "G")),
         Refusal::RecordText,
         QStringLiteral("SpecialParam"),
         {}},
        {"comma separated",
         profileText("02", QByteArray(good).replace(' ', ','), good, good),
         Refusal::RecordText,
         QStringLiteral("DevParam"),
         {}},
        {"dangling digit",
         profileText("02", good + "A", good, good),
         Refusal::RecordText,
         QStringLiteral("DevParam"),
         {}},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        const deviceprofile::Decoded decoded = decodeFile(each.file);
        EXPECT_EQ(decoded.refusal, each.refusal);
        EXPECT_EQ(decoded.refusedKey, each.refusedKey);
        EXPECT_EQ(decoded.records.device, each.device);
        if (each.refusal == Refusal::None) {
            EXPECT_EQ(decoded.records.network.size(), 200u);
            EXPECT_EQ(decoded.records.special.size(), 200u);
        } else {
            EXPECT_TRUE(decoded.records.network.empty());
            EXPECT_TRUE(decoded.records.special.empty());
        }
    }
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
