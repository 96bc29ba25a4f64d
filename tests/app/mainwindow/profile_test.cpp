// Device profile export and import: the reader calls against a scripted reader, and the main
// window's buttons end to end against virtual readers over TCP, with real files.
#include "main_window_fixture.h"

#include "kit/CShellPrompts.h"
#include "page_test_kit.h"
#include "profile/CIniFile.h"
#include "profile/device_profile.h"
#include "reader_model.h"
#include "shell/CProfileActions.h"
#include "shell/CTab.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

namespace mainwindowtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::ReaderCall;

const QDateTime created(QDate(2031, 3, 7), QTime(9, 5, 1));

Bytes numbered(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<std::uint8_t>(seed + index * 3);
    return bytes;
}

QString spaced(const Bytes &bytes) {
    QString text;
    for (const std::uint8_t byte : bytes) text += QString::asprintf("%.2X ", byte);
    return text;
}

// A record reply: its leading byte, then the record.
Bytes reply(std::uint8_t lead, const Bytes &record) {
    Bytes bytes(record.size() + 1, lead);
    std::copy(record.begin(), record.end(), bytes.begin() + 1);
    return bytes;
}

QString profileValue(const QString &path, const QString &key) {
    return QString::fromStdString(CIniFile(path.toStdString())
                                      .readText(deviceprofile::section, key.toStdString(), 1023,
                                                CIniDocument::Trailing::Keep));
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeProfile(const QString &path, const QString &devType, const QString &device,
                  const QString &network, const QString &special) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("[DeviceParam]\nDevType=%1\nCreateTime=20310307090501\n"
                              "DevParam=\"%2\"\nNetParam=\"%3\"\nSpecialParam=\"%4\"\n")
                   .arg(devType, device, network, special)
                   .toUtf8());
}

// ---- The reader calls, against a scripted reader ----------------------------------------

class ProfileActionsTest : public ::testing::Test {
  protected:
    ProfileActionsTest() {
        actions.setClock([] { return created; });
        reader.answerWith("readRecord", [this](const ReaderCall &call) -> std::optional<Bytes> {
            switch (RecordKind(call.arguments[0])) {
                case RecordKind::Device:
                    return reply(0x01, device);
                case RecordKind::Network:
                    return networkAnswers ? std::optional(reply(0x02, network)) : std::nullopt;
                case RecordKind::Special:
                    return reply(0x03, special);
            }
            return std::nullopt;
        });
        reader.answerWith("writeRecord", [this](const ReaderCall &call) -> std::optional<Bytes> {
            if (refusedWrite && call.arguments[0] == int(*refusedWrite)) return std::nullopt;
            return Bytes{};
        });
    }

    void runToEnd(void (CProfileActions::*operation)()) {
        (actions.*operation)();
        ASSERT_TRUE(pagetest::waitUntil([this] { return !actions.isRunning(); }));
    }

    QTemporaryDir folder;
    Bytes device = numbered(200, 1);
    Bytes network = numbered(250, 2);
    Bytes special = numbered(200, 3);
    bool networkAnswers = true;
    std::optional<RecordKind> refusedWrite;
    CScriptedReader reader;
    CFakeMainWindow window{reader};
    pagetest::CRecordingPrompts &prompts = window.dialogs;
    std::vector<std::pair<RecordKind, ParamRecord>> shown;
    CProfileActions actions{window, [this](RecordKind kind, const ParamRecord &record) {
                                shown.emplace_back(kind, record);
                            }};
};

// Every family reads 200 bytes of each record it has: the device record, and the network and
// special records where the family has them; DevType is the leading byte of the last record
// read, Records names the records read, and a record not read is written as zeros.
TEST_F(ProfileActionsTest, ExportReadsTwoHundredBytesOfEachRecordItHas) {
    struct Case {
        std::uint8_t type;
        bool hasNetwork;
        const char *devType;
    };
    for (const Case &each :
         {Case{0x50, true, "03"}, Case{0xC2, true, "03"}, Case{0xC3, true, "03"},
          Case{0xFF, true, "03"}, Case{0xD2, false, "01"}, Case{0xE0, false, "01"}}) {
        SCOPED_TRACE(int(each.type));
        window.type = each.type;
        reader.clearCalls();
        prompts.fileToSave = folder.filePath(QStringLiteral("profile%1").arg(each.type));
        runToEnd(&CProfileActions::exportProfile);

        std::vector<std::vector<int>> reads;
        for (const ReaderCall &call : reader.callsOf("readRecord")) reads.push_back(call.arguments);
        std::vector<std::vector<int>> expected{{int(RecordKind::Device), 200}};
        if (each.hasNetwork) {
            expected.push_back({int(RecordKind::Network), 200});
            expected.push_back({int(RecordKind::Special), 200});
        }
        EXPECT_EQ(reads, expected);
        EXPECT_TRUE(reader.callsOf("writeRecord").empty());

        const QString path = prompts.fileToSave + QStringLiteral(".ini");
        const QString zeros = QStringLiteral("00 ").repeated(200);
        EXPECT_EQ(profileValue(path, QStringLiteral("DevType")), QLatin1String(each.devType));
        EXPECT_EQ(profileValue(path, QStringLiteral("CreateTime")),
                  QStringLiteral("20310307090501"));
        EXPECT_EQ(profileValue(path, QStringLiteral("DevParam")), spaced(device));
        EXPECT_EQ(profileValue(path, QStringLiteral("NetParam")),
                  each.hasNetwork ? spaced(Bytes(network.begin(), network.begin() + 200)) : zeros);
        EXPECT_EQ(profileValue(path, QStringLiteral("SpecialParam")),
                  each.hasNetwork ? spaced(special) : zeros);
        EXPECT_EQ(
            profileValue(path, QStringLiteral("Records")),
            each.hasNetwork ? QStringLiteral("device,network,special") : QStringLiteral("device"));
    }
    EXPECT_EQ(prompts.saveTitle, window.text(1024));
    EXPECT_EQ(prompts.proposed, QDir::current().filePath(QStringLiteral("Device20310307090501")));
    EXPECT_EQ(prompts.saveFilter, QStringLiteral("Device files(*.ini)"));
    EXPECT_TRUE(prompts.notices.isEmpty());
}

TEST_F(ProfileActionsTest, AFailedReadSavesNothing) {
    networkAnswers = false;
    prompts.fileToSave = folder.filePath(QStringLiteral("never"));
    runToEnd(&CProfileActions::exportProfile);
    EXPECT_TRUE(window.waitForLog(window.text(1022)));
    EXPECT_TRUE(prompts.proposed.isEmpty());
    EXPECT_FALSE(QFile::exists(prompts.fileToSave + QStringLiteral(".ini")));

    // Import: the reader's own network record cannot be read, so nothing is written.
    prompts.fileToOpen = folder.filePath(QStringLiteral("in.ini"));
    writeProfile(prompts.fileToOpen, QStringLiteral("02"), spaced(device), spaced(device),
                 spaced(device));
    runToEnd(&CProfileActions::importProfile);
    EXPECT_TRUE(reader.callsOf("writeRecord").empty());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(window.logLines().count(window.text(1022)), 2);
}

// Import writes all three records with 200 bytes and the leading byte of the reader's own
// network record, keeps the reader's first six network bytes, and reports a refused write
// as a failure (that record is not shown on the pages).
TEST_F(ProfileActionsTest, ImportWritesThreeRecordsAndReportsRefusedWrites) {
    const Bytes profileDevice = numbered(200, 0x40);
    const Bytes profileNetwork = numbered(200, 0x50);
    const Bytes profileSpecial = numbered(200, 0x60);
    prompts.fileToOpen = folder.filePath(QStringLiteral("in.ini"));
    writeProfile(prompts.fileToOpen, QStringLiteral("7F"), spaced(profileDevice),
                 spaced(profileNetwork), spaced(profileSpecial));
    Bytes keptNetwork = profileNetwork;
    std::copy_n(network.begin(), 6, keptNetwork.begin());

    for (const std::optional<RecordKind> refused :
         {std::optional<RecordKind>(), std::optional(RecordKind::Network)}) {
        SCOPED_TRACE(refused ? "network refused" : "all written");
        refusedWrite = refused;
        reader.clearCalls();
        shown.clear();
        const int failures = int(window.logLines().count(window.text(1022)));
        runToEnd(&CProfileActions::importProfile);

        const std::vector<ReaderCall> writes = reader.callsOf("writeRecord");
        ASSERT_EQ(writes.size(), 3u);
        const Bytes expected[] = {reply(0x02, profileDevice), reply(0x02, keptNetwork),
                                  reply(0x02, profileSpecial)};
        for (std::size_t index = 0; index < 3; ++index) {
            EXPECT_EQ(writes[index].arguments, (std::vector<int>{int(index), 200}));
            EXPECT_EQ(writes[index].bytes, expected[index]);
        }
        std::vector<RecordKind> shownKinds;
        for (const auto &[kind, record] : shown) shownKinds.push_back(kind);
        if (refused) {
            EXPECT_EQ(shownKinds, (std::vector{RecordKind::Device, RecordKind::Special}));
            EXPECT_TRUE(pagetest::waitUntil(
                [&] { return window.logLines().count(window.text(1022)) == failures + 1; }));
        } else {
            EXPECT_EQ(shownKinds,
                      (std::vector{RecordKind::Device, RecordKind::Network, RecordKind::Special}));
            EXPECT_TRUE(window.waitForLog(window.text(1023)));
            EXPECT_EQ(shown[1].second.bytes, keptNetwork);
        }
    }
    EXPECT_EQ(prompts.openPath, QDir::currentPath());
    EXPECT_EQ(prompts.openFilter, QStringLiteral("Device files (*.ini)"));
}

// Import writes only what the profile holds from a read and the reader has: a file of an
// earlier export whose special record is all zero leaves the reader's special record alone, a
// profile of a reader without network records writes the device record alone, and a reader
// without them (Birch) takes the device record with the leading byte of its own.
TEST_F(ProfileActionsTest, ImportWritesOnlyTheRecordsTheProfileHoldsAndTheReaderHas) {
    const Bytes profileDevice = numbered(200, 0x40);
    const QString zeros = QStringLiteral("00 ").repeated(200);
    struct Case {
        const char *name;
        std::uint8_t type;
        QByteArray records;  // the Records entry, if any
        QString special;
        std::vector<int> written;
        std::uint8_t lead;
    };
    const Case cases[] = {
        {"earlier file, zero special", 0x50, {}, zeros, {0, 1}, 0x02},
        {"earlier file, special read", 0x50, {}, spaced(special), {0, 1, 2}, 0x02},
        {"device record only", 0x50, "device", zeros, {0}, 0x02},
        {"into a Birch reader", 0xD2, "device,network,special", spaced(special), {0}, 0x01},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        window.type = each.type;
        reader.clearCalls();
        prompts.fileToOpen = folder.filePath(QString::fromLatin1(each.name));
        writeProfile(prompts.fileToOpen, QStringLiteral("02"), spaced(profileDevice),
                     spaced(network), each.special);
        if (!each.records.isNull()) {
            QFile file(prompts.fileToOpen);
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("Records=" + each.records + "\n");
        }
        const int successes = int(window.logLines().count(window.text(1023)));
        runToEnd(&CProfileActions::importProfile);
        std::vector<int> written;
        for (const ReaderCall &call : reader.callsOf("writeRecord")) {
            written.push_back(call.arguments[0]);
            EXPECT_EQ(call.bytes.front(), each.lead);
        }
        EXPECT_EQ(written, each.written);
        ASSERT_FALSE(reader.callsOf("writeRecord").empty());
        EXPECT_EQ(reader.callsOf("writeRecord").front().bytes, reply(each.lead, profileDevice));
        EXPECT_TRUE(pagetest::waitUntil(
            [&] { return window.logLines().count(window.text(1023)) == successes + 1; }));
    }
}

// A link at the chosen path, to a file or to none, is refused with one notice; neither the link
// nor what it points at changes.
TEST_F(ProfileActionsTest, ExportNeverWritesThroughALink) {
    const QString target = folder.filePath(QStringLiteral("target"));
    const QString absent = folder.filePath(QStringLiteral("absent"));
    writeProfile(target, QStringLiteral("01"), spaced(device), spaced(device), spaced(device));
    const QByteArray targetBytes = fileBytes(target);
    for (const QString &pointee : {target, absent}) {
        SCOPED_TRACE(pointee.toStdString());
        prompts.notices.clear();
        prompts.fileToSave = folder.filePath(QStringLiteral("link"));
        const QString link = prompts.fileToSave + QStringLiteral(".ini");
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(pointee, link));
        runToEnd(&CProfileActions::exportProfile);
        ASSERT_EQ(prompts.notices.size(), 1);
        EXPECT_EQ(prompts.notices[0].caption, window.text(1019));
        EXPECT_TRUE(prompts.notices[0].body.contains(QStringLiteral("symbolic link")))
            << prompts.notices[0].body.toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), pointee);
    }
    EXPECT_EQ(fileBytes(target), targetBytes);
    EXPECT_FALSE(QFileInfo::exists(absent));
}

TEST_F(ProfileActionsTest, NothingHappensWhileNotConnected) {
    window.connected = false;
    prompts.fileToOpen = folder.filePath(QStringLiteral("in.ini"));
    actions.exportProfile();
    actions.importProfile();
    EXPECT_FALSE(actions.isRunning());
    EXPECT_TRUE(prompts.openPath.isEmpty());
    EXPECT_TRUE(reader.calls().empty());
}

}  // namespace

// ---- The main window's buttons, against virtual readers ---------------------------------

class ProfileWindowTest : public MainWindowTest {
  protected:
    void openReader(const std::string &family) {
        reader_ = makeReader(family);
        createWindow();
        window_->setPrompts(prompts_);
        window_->profiles().setClock([] { return created; });
        port_ = reader_->serveTcp(0);
        openNetwork(port_);
        ASSERT_TRUE(window_->isConnected());
    }

    void press(const char *button) {
        child<QPushButton>(button)->click();
        ASSERT_TRUE(waitUntil([this] { return !window_->profiles().isRunning(); }));
    }

    struct RecordState {
        readersim::ParamRecord device, network, special;
        bool operator==(const RecordState &other) const {
            return device.lead == other.device.lead && device.body == other.device.body &&
                   network.lead == other.network.lead && network.body == other.network.body &&
                   special.lead == other.special.lead && special.body == other.special.body;
        }
    };
    static RecordState records(readersim::VirtualReader &reader) {
        RecordState state;
        reader.withModel([&](readersim::ReaderModel &model) {
            state = {model.deviceRecord, model.netRecord, model.specialRecord};
        });
        return state;
    }

    QTemporaryDir files_;
    pagetest::CRecordingPrompts prompts_;
    std::unique_ptr<readersim::VirtualReader> reader_;
    std::uint16_t port_ = 0;
};

TEST_F(ProfileWindowTest, ButtonsAreOnExactlyWhileConnected) {
    createWindow();
    const auto buttonsOn = [this] {
        return isEnabled("exportButton") && isEnabled("importButton");
    };
    const auto buttonsOff = [this] {
        return !isEnabled("exportButton") && !isEnabled("importButton");
    };
    EXPECT_TRUE(buttonsOff());
    // An Open that finds no reader leaves them off.
    openNetwork(1);
    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(buttonsOff());

    reader_ = makeReader("fir");
    window_->setPrompts(prompts_);
    port_ = reader_->serveTcp(0);
    openNetwork(port_);
    EXPECT_TRUE(buttonsOn());
    // While an export runs neither can start another one.
    bool offWhileRunning = false;
    prompts_.onSaveChooser = [&] { offWhileRunning = buttonsOff(); };
    press("exportButton");
    EXPECT_TRUE(offWhileRunning);
    EXPECT_TRUE(buttonsOn());

    pressClose();
    EXPECT_TRUE(buttonsOff());
    openNetwork(port_);
    EXPECT_TRUE(buttonsOn());
}

// A Fir reader's profile: its own special record, ".ini" appended to any name, and an
// existing file is left as it was and the operator told.
TEST_F(ProfileWindowTest, FirExportAppendsTheExtensionAndNeverOverwrites) {
    openReader("fir");
    prompts_.fileToSave = files_.filePath(QStringLiteral("fir.ini"));
    press("exportButton");
    const QString path = files_.filePath(QStringLiteral("fir.ini.ini"));
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(prompts_.fileToSave));
    Bytes device(200, 0);
    Bytes special(200, 0);
    reader_->withModel([&](readersim::ReaderModel &model) {
        std::copy_n(model.deviceRecord.body.begin(), model.deviceRecordSize(), device.begin());
        std::copy_n(model.specialRecord.body.begin(), 200, special.begin());
    });
    EXPECT_NE(special, Bytes(200, 0));
    EXPECT_EQ(profileValue(path, QStringLiteral("SpecialParam")), spaced(special));
    EXPECT_EQ(profileValue(path, QStringLiteral("DevParam")), spaced(device));
    EXPECT_TRUE(prompts_.notices.isEmpty());

    QFile::remove(path);
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();
    press("exportButton");
    ASSERT_EQ(prompts_.notices.size(), 1);
    EXPECT_EQ(prompts_.notices[0].caption, text(1019));
    EXPECT_TRUE(prompts_.notices[0].body.contains(QDir::toNativeSeparators(path)));
    EXPECT_EQ(fileBytes(path), QByteArray("kept"));
}

// Files that are no profile are refused with a message box before the reader is touched.
TEST_F(ProfileWindowTest, ImportRefusesFilesThatAreNoProfile) {
    openReader("elm");
    const QString good = QStringLiteral("01 ").repeated(200);
    QByteArray binary(800, '\0');
    for (int index = 0; index < binary.size(); ++index) binary[index] = char(index * 53 + 7);
    struct Case {
        const char *name;
        std::function<void(const QString &)> write;
        QString body;
    };
    const Case cases[] = {
        {"DevType of three characters",
         [&](const QString &path) { writeProfile(path, QStringLiteral("123"), good, good, good); },
         text(1025)},
        {"binary file",
         [&](const QString &path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(binary);
         },
         text(1025)},
        {"truncated profile",
         [&](const QString &path) {
             writeProfile(path, QStringLiteral("02"), good, good, good);
             QFile file(path);
             ASSERT_TRUE(file.resize(file.size() - 100));
         },
         {}},
        {"record text not hex",
         [&](const QString &path) {
             writeProfile(path, QStringLiteral("02"), good, QStringLiteral("zz ").repeated(200),
                          good);
         },
         {}},
    };
    const RecordState before = records(*reader_);
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        prompts_.notices.clear();
        prompts_.fileToOpen = files_.filePath(QString::fromLatin1(each.name));
        each.write(prompts_.fileToOpen);
        press("importButton");
        ASSERT_EQ(prompts_.notices.size(), 1);
        EXPECT_EQ(prompts_.notices[0].caption, text(1019));
        if (each.body.isEmpty())
            EXPECT_TRUE(
                prompts_.notices[0].body.contains(QDir::toNativeSeparators(prompts_.fileToOpen)));
        else
            EXPECT_EQ(prompts_.notices[0].body, each.body);
        EXPECT_TRUE(records(*reader_) == before);
    }
}

// One Elm reader's profile copied to another: its three records arrive (200 bytes each), the
// target keeps its own MAC address, and a record text cut before its final space loses its
// last byte.
TEST_F(ProfileWindowTest, RoundTripCopiesTheRecordsButKeepsTheTargetMac) {
    auto source = makeReader("elm");
    source->withModel([](readersim::ReaderModel &model) {
        for (std::size_t index = 0; index < 200; ++index) {
            model.deviceRecord.body[index] = std::uint8_t(index + 1);
            model.netRecord.body[index] = std::uint8_t(0xFF - index);
            model.specialRecord.body[index] = std::uint8_t(index * 5 + 2);
        }
    });
    openReader("elm");
    reader_->withModel([](readersim::ReaderModel &model) {
        const std::uint8_t mac[6] = {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
        std::copy_n(mac, 6, model.netRecord.body.begin());
    });
    // The export comes from the source reader: the window reconnects to it.
    pressClose();
    openNetwork(source->serveTcp(0));
    prompts_.fileToSave = files_.filePath(QStringLiteral("elm"));
    press("exportButton");
    const QString profile = files_.filePath(QStringLiteral("elm.ini"));
    ASSERT_TRUE(QFile::exists(profile));

    pressClose();
    const RecordState target = records(*reader_);
    openNetwork(port_);
    prompts_.fileToOpen = profile;
    flushMessages();
    press("importButton");
    EXPECT_TRUE(waitForMessage(text(1023)));
    // Every page is handed the three records; each shows what it shows.
    for (const PageId id : {PageId::ElmParam, PageId::AlderParam, PageId::NetParam,
                            PageId::FirNetParam, PageId::SpecialParam})
        EXPECT_EQ(page(id)->written(),
                  (std::vector{RecordKind::Device, RecordKind::Network, RecordKind::Special}));

    const RecordState copied = records(*source);
    const RecordState after = records(*reader_);
    using Body = std::vector<std::uint8_t>;
    const auto first200 = [](const Body &body) { return Body(body.begin(), body.begin() + 200); };
    EXPECT_EQ(first200(after.device.body), first200(copied.device.body));
    EXPECT_EQ(first200(after.special.body), first200(copied.special.body));
    EXPECT_EQ(Body(after.network.body.begin(), after.network.body.begin() + 6),
              Body(target.network.body.begin(), target.network.body.begin() + 6));
    EXPECT_EQ(Body(after.network.body.begin() + 6, after.network.body.begin() + 200),
              Body(copied.network.body.begin() + 6, copied.network.body.begin() + 200));
    // The network record past the profile's 200 bytes stays the target's.
    EXPECT_EQ(Body(after.network.body.begin() + 200, after.network.body.end()),
              Body(target.network.body.begin() + 200, target.network.body.end()));
    EXPECT_TRUE(prompts_.notices.isEmpty());

    // The same profile with the special record's final space cut off.
    const QString special = profileValue(profile, QStringLiteral("SpecialParam"));
    CIniFile(profile.toStdString())
        .writeText(deviceprofile::section, "SpecialParam",
                   ('"' + special.chopped(1) + '"').toStdString());
    press("importButton");
    const RecordState cut = records(*reader_);
    EXPECT_EQ(cut.special.body[199], 0);
    EXPECT_EQ(Body(cut.special.body.begin(), cut.special.body.begin() + 199),
              Body(copied.special.body.begin(), copied.special.body.begin() + 199));
}

}  // namespace mainwindowtest
