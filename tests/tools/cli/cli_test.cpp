// tagbench-cli end to end: the built program run as a child process against virtual readers
// served here over TCP, a pseudo-terminal and the HID tunnel.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QDateTime>
#include <QFile>

#include "QnReader.h"
#include "child_process.h"
#include "command_table.h"
#include "kit/CIniFile.h"
#include "loopback_socket.h"
#include "param_records.h"
#include "profile_access.h"
#include "reader_frames.h"
#include "reader_model.h"
#include "shell/CProfileTransfer.h"
#include "virtual_reader.h"

namespace {

using readersim::ReaderModel;
using readersim::VirtualReader;
using testsupport::ChildProcess;
using testsupport::Finished;

const std::string kSerialText = "50202612090001";

// One virtual reader served on one transport, with the address and environment that reach it.
struct Site {
    std::string name;
    std::unique_ptr<VirtualReader> reader;
    std::string address;
    std::vector<std::string> environment;
};

std::unique_ptr<VirtualReader> makeReader(int tagCount) {
    readersim::ReaderOptions options;
    options.tagCount = tagCount;
    auto reader = std::make_unique<VirtualReader>(options);
    reader->withModel(
        [](ReaderModel &model) { model.serial = {0x50, 0x20, 0x26, 0x12, 0x09, 0x00, 0x01}; });
    return reader;
}

Site tcpSite(int tagCount = 1) {
    Site site{"tcp", makeReader(tagCount), {}, {}};
    site.address = "tcp://127.0.0.1:" + std::to_string(site.reader->serveTcp());
    return site;
}

Site ptySite(const std::filesystem::path &directory) {
    Site site{"pty", makeReader(1), {}, {}};
    const std::string link = (directory / "reader0").string();
    site.reader->servePty(link);
    site.address = "serial:" + link;
    return site;
}

Site hidSite() {
    Site site{"hid", makeReader(1), {}, {}};
    const std::string tunnel = "127.0.0.1:" + std::to_string(site.reader->serveHid());
    site.address = "usb:sim:" + tunnel;
    site.environment = {"QNHID_SIM=" + tunnel};
    return site;
}

ChildProcess startCli(const Site &site, const std::vector<std::string> &arguments) {
    std::vector<std::string> all = {"--reader", site.address};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return ChildProcess(TAGBENCH_CLI_PATH, all, testsupport::childEnvironment(site.environment));
}

Finished runCli(const Site &site, const std::vector<std::string> &arguments) {
    return startCli(site, arguments).finish();
}

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// One sighting of the ndjson stream: the EPC it names (empty when the line is not one) and the
// GS1 identity it carries (empty when none).
struct SightingLine {
    std::string epc, uri;
};

SightingLine sightingOf(const std::string &line) {
    static const std::regex shape(
        R"re(^\{"reader":"[0-9A-F]{14}","epc":"([0-9A-F]+)"(,"uri":"(urn:epc:id:[^"]+)")?,)re"
        R"re("antenna":[0-9]+,"rssi":[0-9]+,)re"
        R"re("time":"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z")re"
        R"re((,"temperature":-?[0-9]+\.[0-9]+)?\}$)re");
    std::smatch match;
    if (!std::regex_match(line, match, shape)) return {};
    return {match[1].str(), match[3].str()};
}

std::string epcOfSightingLine(const std::string &line) {
    return sightingOf(line).epc;
}

std::string hexOf(const std::vector<uint8_t> &bytes) {
    std::string text;
    char pair[3];
    for (const uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += pair;
    }
    return text;
}

std::string firstTag(VirtualReader &reader,
                     const std::function<std::string(const readersim::VirtualTag &)> &what) {
    std::string text;
    reader.withModel([&](ReaderModel &model) { text = what(model.tags.front()); });
    return text;
}

// Seconds from `set` (YYYY-MM-DDTHH:MM:SS) to `got`, both read as UTC.
long secondsBetween(const std::string &set, const std::string &got) {
    auto toSeconds = [](const std::string &text) {
        std::tm parts{};
        strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
        return static_cast<long>(timegm(&parts));
    };
    return toSeconds(got) - toSeconds(set);
}

bool anyRecordWritten(const VirtualReader &reader) {
    for (const qn::Command write : {qn::Command::SetDeviceParam, qn::Command::SetDeviceNetParam,
                                    qn::Command::SetDeviceSpecialParam}) {
        if (testsupport::lastRequest(reader, static_cast<uint8_t>(write))) return true;
    }
    return false;
}

class CliTransports : public ::testing::Test {
  protected:
    void SetUp() override {
        ptyDir_ =
            std::filesystem::temp_directory_path() / ("qn-cli-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(ptyDir_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(ptyDir_, ignored);
    }
    std::filesystem::path ptyDir_;
};

// Every command of the tool on every transport: exit status, output, and what the reader
// holds afterwards.
TEST_F(CliTransports, EveryCommandEndToEnd) {
    std::vector<Site> sites;
    sites.push_back(tcpSite());
    sites.push_back(ptySite(ptyDir_));
    sites.push_back(hidSite());
    for (Site &site : sites) {
        VirtualReader &reader = *site.reader;
        const std::string tid = firstTag(reader, [](const auto &tag) { return hexOf(tag.tid()); });
        struct Case {
            std::vector<std::string> arguments;
            std::string out;  // whole stdout, unless `shape` is given
            std::function<bool()> holds = [] { return true; };
            std::string shape = {};  // a pattern of the whole stdout
        };
        const auto always = [] { return true; };
        const Case cases[] = {
            {{"info", "--json"},
             "{\"serial\":\"" + kSerialText +
                 "\",\"type\":80,\"family\":\"fir\",\"firmware\":\"2.3\",\"hardware\":\"1.1\"}\n"},
            {{"info"},
             "serial    " + kSerialText +
                 "\ntype      80\nfamily    fir\nfirmware  2.3\nhardware  1.1\n"},
            {{"read", "tid", "0", "0x6"}, tid + "\n"},
            {{"write", "user", "2", "12abCDEF"}, ""},
            {{"--json", "read", "3", "2", "2"}, "{\"data\":\"12ABCDEF\"}\n"},
            {{"write-epc", "E2000017220A0100000000AB", "--password", "00000000"},
             "",
             [&] {
                 return firstTag(reader, [](const auto &tag) { return hexOf(tag.epc()); }) ==
                        "E2000017220A0100000000AB";
             }},
            {{"inventory", "--rounds", "1", "--format", "csv"},
             "",
             always,
             "epc,antenna,count,rssi,first_seen,last_seen\n"
             "E2000017220A0100000000AB,1,1,[0-9]+,[-0-9T:.]+Z,[-0-9T:.]+Z\n"},
            {{"inventory", "--rounds", "2", "--interval", "0", "--format", "table"},
             "",
             always,
             "epc +antenna +count +rssi +first_seen +last_seen\n"
             "E2000017220A0100000000AB +1 +2 +[0-9]+ +[-0-9T:.]+Z +[-0-9T:.]+Z\n"},
            {{"lock", "00000000", "0x02"},
             "",
             [&] {
                 bool secured = false;
                 reader.withModel([&](ReaderModel &model) {
                     secured = model.tags.front().lockState(readersim::LockArea::User) ==
                               readersim::LockState::Secured;
                 });
                 return secured;
             }},
            {{"relay", "on", "--json"},
             "{}\n",
             [&] {
                 bool closed = false;
                 reader.withModel([&](ReaderModel &model) { closed = model.relayClosed; });
                 return closed;
             }},
            {{"relay", "off"},
             "",
             [&] {
                 bool closed = true;
                 reader.withModel([&](ReaderModel &model) { closed = model.relayClosed; });
                 return !closed;
             }},
            {{"time", "set", "2031-02-28T23:59:30"}, "2031-02-28T23:59:30\n"},
        };
        for (const Case &c : cases) {
            const Finished run = runCli(site, c.arguments);
            const std::string label =
                site.name + ": " + c.arguments.front() + " " + c.arguments.back();
            EXPECT_EQ(run.status, 0) << label << "\n" << run.err;
            EXPECT_EQ(run.err, "") << label;
            if (c.shape.empty()) {
                EXPECT_EQ(run.out, c.out) << label;
            } else {
                EXPECT_TRUE(std::regex_match(run.out, std::regex(c.shape))) << label << "\n"
                                                                            << run.out;
            }
            EXPECT_TRUE(c.holds()) << label;
        }
        const Finished clock = runCli(site, {"--json", "time", "get"});
        ASSERT_EQ(clock.status, 0) << clock.err;
        ASSERT_EQ(clock.out.size(), std::string("{\"time\":\"2031-02-28T23:59:30\"}\n").size());
        const long drift = secondsBetween("2031-02-28T23:59:30", clock.out.substr(9, 19));
        EXPECT_GE(drift, 0) << clock.out;
        EXPECT_LE(drift, 60) << clock.out;
    }
}

// --verbose: every frame sent and received, one upper-case hex line each, on stderr.
TEST(Cli, VerboseTracesEveryFrame) {
    const Site site = tcpSite();
    const Finished run = runCli(site, {"-v", "info"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = linesOf(run.err);
    ASSERT_EQ(lines.size(), 2u) << run.err;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("> [0-9A-F]+"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("< [0-9A-F]+"))) << lines[1];
}

// Every tag of a 1 000-tag field reaches the ndjson stream, one well-formed line per sighting;
// a sensor tag's lines carry its temperature in degrees Celsius, an SGTIN-96 tag's its GS1
// identity, a tag with a plain EPC none.
TEST(Cli, NdjsonInventoryOfAThousandTagsHasEveryTag) {
    const Site site = tcpSite(1000);
    std::set<std::string> field;
    std::string sensorEpc, plainEpc, sgtinEpc;
    site.reader->withModel([&](ReaderModel &model) {
        for (const auto &tag : model.tags) field.insert(hexOf(tag.epc()));
        model.tags[7].temperatureSensor = true;
        model.tags[7].temperature = 23.5f;
        sensorEpc = hexOf(model.tags[7].epc());
        plainEpc = hexOf(model.tags[8].epc());
        sgtinEpc = hexOf(model.tags[9].epc());
    });
    ASSERT_EQ(field.size(), 1000u);
    // Filter 1, partition 5, company prefix 0614141, item 812345, serial 10.
    ASSERT_EQ(sgtinEpc, "3034257BF7194E400000000A");
    // A result holds at most 50 tags: 20 rounds see each tag once, 40 twice.
    const Finished run = runCli(site, {"inventory", "--rounds", "40", "--interval", "0", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> seen;
    for (const std::string &line : linesOf(run.out)) {
        const auto [epc, uri] = sightingOf(line);
        ASSERT_FALSE(epc.empty()) << line;
        seen.insert(epc);
        const bool hasTemperature = line.find(",\"temperature\":23.500000}") != std::string::npos;
        EXPECT_EQ(hasTemperature, epc == sensorEpc) << line;
        if (epc == sgtinEpc || epc == plainEpc) {
            EXPECT_EQ(uri, epc == sgtinEpc ? "urn:epc:id:sgtin:0614141.812345.10" : "") << line;
        }
    }
    EXPECT_EQ(seen, field);
}

// Ctrl-C ends a stream cleanly: exit status 0, and what it printed is complete.
TEST(Cli, InterruptEndsStreamsWithCompleteOutput) {
    for (const std::string format : {"ndjson", "csv"}) {
        Site site = tcpSite(3);
        ChildProcess inventory =
            startCli(site, {"inventory", "--interval", "5", "--format", format});
        ASSERT_TRUE(inventory.started());
        if (format == "ndjson") {
            ASSERT_TRUE(inventory.waitForLine(std::chrono::seconds(30)));
        } else {
            ASSERT_TRUE(site.reader->waitForRequests(4, std::chrono::seconds(30)));
        }
        inventory.signal(SIGINT);
        const Finished run = inventory.finish();
        EXPECT_EQ(run.status, 0) << format << ": " << run.err;
        EXPECT_EQ(run.err, "") << format;
        ASSERT_FALSE(run.out.empty()) << format;
        EXPECT_EQ(run.out.back(), '\n') << format;
        const auto lines = linesOf(run.out);
        if (format == "ndjson") {
            for (const std::string &line : lines) EXPECT_NE(epcOfSightingLine(line), "") << line;
        } else {
            EXPECT_EQ(lines.size(), 4u) << run.out;  // header and the three tags
        }
    }

    // watch only listens: no request beyond the identity asked at open.
    Site site = tcpSite(3);
    ChildProcess watch = startCli(site, {"watch"});
    ASSERT_TRUE(site.reader->waitForRequests(1, std::chrono::seconds(30)));
    site.reader->startActive(std::chrono::milliseconds(5), 2);
    ASSERT_TRUE(watch.waitForLine(std::chrono::seconds(30)));
    watch.signal(SIGINT);
    const Finished run = watch.finish();
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    for (const std::string &line : linesOf(run.out)) {
        EXPECT_EQ(line.rfind("{\"reader\":\"" + kSerialText + "\"", 0), 0u) << line;
        EXPECT_NE(epcOfSightingLine(line), "") << line;
    }
    EXPECT_EQ(site.reader->requests().size(), 1u);
}

// Every exit status, each error one line on stderr; usage errors send no frame at all.
TEST(Cli, ExitStatusesAndOneLineErrors) {
    Site site = tcpSite();
    const testsupport::LoopbackSocket closed = testsupport::LoopbackSocket::boundOnly();
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(closed.port());
    struct Case {
        std::vector<std::string> arguments;  // after --reader ADDRESS unless `address` is set
        int status;
        std::string err;  // a part of the one error line
        std::string address = {};
    };
    const Case cases[] = {
        {{"--version"}, 0, ""},
        {{"read", "tid", "0", "200"}, 1, "read: the reader refused"},
        {{"frobnicate"}, 2, "frobnicate"},
        {{"info", "--bogus"}, 2, "--bogus"},
        {{}, 2, "no command given"},
        {{"time"}, 2, "no command given"},
        {{"info"}, 2, "no reader address", "-"},
        {{"info"}, 2, "reader address \"tcp://\"", "tcp://"},
        {{"info"}, 2, "reader address \"192.168.1.100\"", "192.168.1.100"},
        {{"read", "flash", "0", "1"}, 2, "bank \"flash\""},
        {{"read", "epc", "256", "1"}, 2, "START \"256\""},
        {{"read", "epc", "0", "0"}, 2, "WORDS \"0\""},
        {{"read", "epc", "0", "1", "--password", "1234"}, 2, "password \"1234\""},
        {{"write", "user", "0", "12G4"}, 2, "HEXDATA \"12G4\""},
        {{"write", "user", "0", "123"}, 2, "HEXDATA \"123\""},
        {{"write-epc", "E200001"}, 2, "EPC \"E200001\""},
        {{"lock", "0000000Z", "0"}, 2, "PASSWORD_HEX8"},
        {{"lock", "00000000", "256"}, 2, "CODE \"256\""},
        {{"time", "set", "2026-02-29T00:00:00"}, 2, "time \"2026-02-29T00:00:00\""},
        {{"relay", "half"}, 2, "half"},
        {{"inventory", "--format", "xml"}, 2, "xml"},
        {{"info"}, 3, "refused", refused},
    };
    for (const Case &c : cases) {
        site.reader->clearRequests();
        std::vector<std::string> arguments;
        if (c.address != "-")
            arguments = {"--reader", c.address.empty() ? site.address : c.address};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const std::string label = arguments.empty() ? "(none)" : arguments.back();
        ChildProcess child(TAGBENCH_CLI_PATH, arguments, testsupport::childEnvironment({}));
        const Finished run = child.finish();
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        if (c.status == 0) {
            EXPECT_EQ(run.out, "tagbench-cli " TAGBENCH_VERSION "\n");
            continue;
        }
        const auto lines = linesOf(run.err);
        ASSERT_EQ(lines.size(), 1u) << label << "\n" << run.err;
        EXPECT_EQ(lines[0].rfind("tagbench-cli: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(c.err), std::string::npos) << label << ": " << lines[0];
        if (c.status == 2) {
            EXPECT_TRUE(site.reader->requests().empty()) << label;
        }
    }

    // Output that cannot be written.
    ChildProcess full(TAGBENCH_CLI_PATH, {"--reader", site.address, "info"},
                      testsupport::childEnvironment({}), "/dev/full");
    const Finished unwritten = full.finish();
    EXPECT_EQ(unwritten.status, 4);
    EXPECT_EQ(unwritten.err, "tagbench-cli: cannot write the output\n");

    // A reader that does not say who it is cannot be opened.
    readersim::Faults silence;
    silence.dropEveryNth = 1;
    site.reader->setFaults(silence);
    const Finished silent = runCli(site, {"info"});
    EXPECT_EQ(silent.status, 3);
    EXPECT_NE(silent.err.find("did not say who it is"), std::string::npos) << silent.err;
    EXPECT_EQ(silent.out, "");
}

// Parameter records by field name on two families: set changes only the named fields of the
// bytes read, lists go by their choices, default restores; refused fields and values name
// the field and what it takes, and no record is written.
TEST_F(CliTransports, ParamsByNameOnTwoFamilies) {
    Site cedar{"pty", nullptr, {}, {}};
    readersim::ReaderOptions cedarOptions;
    cedarOptions.family = "cedar";
    cedar.reader = std::make_unique<VirtualReader>(cedarOptions);
    cedar.address = "serial:" + (ptyDir_ / "cedar0").string();
    cedar.reader->servePty((ptyDir_ / "cedar0").string());
    std::vector<Site> sites;
    sites.push_back(tcpSite());
    sites.push_back(std::move(cedar));
    for (Site &site : sites) {
        SCOPED_TRACE(site.name);
        VirtualReader &reader = *site.reader;
        const auto deviceBytes = [&] {
            std::vector<uint8_t> body;
            reader.withModel([&](ReaderModel &model) { body = model.deviceRecord.body; });
            return body;
        };
        const std::vector<uint8_t> before = deviceBytes();
        const Finished set = runCli(site, {"--json", "params", "set", "rf_power_dbm=20",
                                           "work_mode=active", "baud_rate=9600", "q_value=0x0F"});
        ASSERT_EQ(set.status, 0) << set.err;
        for (const char *shown : {R"("rf_power_dbm":20)", R"("work_mode":"active")",
                                  R"("baud_rate":9600)", R"("q_value":15)"})
            EXPECT_NE(set.out.find(shown), std::string::npos) << shown << " in " << set.out;
        std::vector<uint8_t> expected = before;
        expected[1] = 1;  // active
        expected[4] = 20;
        expected[6] = 0;  // 9600
        expected[20] = 15;
        EXPECT_EQ(hexOf(deviceBytes()), hexOf(expected));

        const Finished plain = runCli(site, {"params", "get"});
        EXPECT_NE(plain.out.find("\nbaud_rate=9600\n"), std::string::npos) << plain.out;
        EXPECT_EQ(runCli(site, {"params", "default"}).status, 0);
        EXPECT_EQ(hexOf(deviceBytes()), hexOf(before));

        EXPECT_EQ(runCli(site, {"net", "set", "heartbeat=9", "domain=dock-7.example"}).status, 0);
        EXPECT_NE(runCli(site, {"--json", "net", "get"}).out.find(R"("domain":"dock-7.example")"),
                  std::string::npos);
        const Finished special = runCli(site, {"special", "set", "relay_time=5", "relay=true"});
        EXPECT_NE(special.out.find("relay=true\nrelay_time=5\n"), std::string::npos) << special.out;

        struct Refusal {
            std::vector<std::string> arguments;
            std::string err;
        };
        const Refusal refusals[] = {
            {{"params", "set", "q_value=16"}, "q_value takes a number from 0 to 15"},
            {{"params", "set", "work_mode=sleep"}, "work_mode takes answer, active or trigger"},
            {{"params", "set", "baud_rate=4800"}, "baud_rate takes 9600, 19200"},
            {{"params", "set", "beeper=on"}, "beeper takes 0 or 1"},
            {{"params", "set", "colour=red"}, "device record has no field \"colour\""},
            {{"params", "set", "rf_power_dbm"}, "\"rf_power_dbm\" is not name=value"},
            {{"net", "set", "ip_address=192.168.1"}, "ip_address takes an IPv4 address"},
            {{"special", "default"}, "default"},
        };
        reader.clearRequests();
        for (const Refusal &refusal : refusals) {
            const Finished run = runCli(site, refusal.arguments);
            EXPECT_EQ(run.status, 2) << refusal.err;
            EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
            EXPECT_NE(run.err.find(refusal.err), std::string::npos) << run.err;
        }
        EXPECT_FALSE(anyRecordWritten(reader));
    }
}

// --- firmware upgrade ---

constexpr uint8_t kUpgradeBlockCommand = 0x33;
constexpr uint8_t kUpgradeEndCommand = 0x34;
constexpr uint8_t kUpgradeBlockWithPasswordCommand = 0x36;
constexpr uint8_t kUpgradeEndWithPasswordCommand = 0x37;

std::vector<uint8_t> writeImage(const std::filesystem::path &path, size_t size) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 31 + i / 251);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(size));
    return image;
}

// The block numbers of the upgrade blocks the reader received, in order.
std::vector<int> upgradeBlockNumbers(const VirtualReader &reader, uint8_t command) {
    std::vector<int> numbers;
    for (const auto &frame : reader.requests()) {
        if (frame.size() < 7 || frame[5] != command) continue;
        const auto data = testsupport::requestData(frame);
        const size_t header = command == kUpgradeBlockWithPasswordCommand ? 5 : 1;
        if (data.size() >= header + 2) numbers.push_back(data[header] << 8 | data[header + 1]);
    }
    return numbers;
}

bool anyEndCommand(const VirtualReader &reader) {
    return testsupport::lastRequest(reader, kUpgradeEndCommand) ||
           testsupport::lastRequest(reader, kUpgradeEndWithPasswordCommand);
}

// A 100 KiB image in 1024-byte blocks arrives whole and in order on every transport: plain
// with ndjson progress over TCP, password-guarded over the pty, plain over the HID tunnel.
TEST_F(CliTransports, FirmwareUpgradeArrivesWholeAndInOrder) {
    const auto image = writeImage(ptyDir_ / "image.bin", 100 * 1024);
    const std::string file = (ptyDir_ / "image.bin").string();
    std::vector<Site> sites;
    sites.push_back(tcpSite());
    sites.push_back(ptySite(ptyDir_));
    sites.push_back(hidSite());
    for (Site &site : sites) {
        const bool password = site.name == "pty";
        const bool json = site.name == "tcp";
        std::vector<std::string> arguments = {"firmware", "upgrade", file};
        if (password) {
            site.reader->withModel([](ReaderModel &model) { model.devicePassword = {1, 2, 3, 4}; });
            arguments.insert(arguments.end(), {"--password", "01020304"});
        }
        if (json) arguments.push_back("--json");
        const Finished run = runCli(site, arguments);
        ASSERT_EQ(run.status, 0) << site.name << "\n" << run.err;
        EXPECT_EQ(run.err, "") << site.name;
        bool completed = false;
        std::vector<uint8_t> received;
        site.reader->withModel([&](ReaderModel &model) {
            completed = model.upgrade.completed;
            received = model.upgrade.completedImage;
        });
        EXPECT_TRUE(completed) << site.name;
        EXPECT_TRUE(received == image) << site.name << ": " << received.size() << " bytes";
        std::vector<int> expectedNumbers(100);
        std::iota(expectedNumbers.begin(), expectedNumbers.end(), 0);
        EXPECT_EQ(upgradeBlockNumbers(*site.reader, password ? kUpgradeBlockWithPasswordCommand
                                                             : kUpgradeBlockCommand),
                  expectedNumbers)
            << site.name;
        const auto lines = linesOf(run.out);
        if (!json) {
            EXPECT_EQ(run.out, "firmware upgraded: 100 blocks, 102400 bytes\n") << site.name;
            continue;
        }
        ASSERT_EQ(lines.size(), 101u) << run.out;
        for (size_t block = 0; block < 100; ++block) {
            EXPECT_EQ(lines[block], "{\"block\":" + std::to_string(block) +
                                        ",\"blocks\":100,\"bytes\":" +
                                        std::to_string((block + 1) * 1024) + ",\"total\":102400}");
        }
        EXPECT_EQ(lines[100],
                  "{\"outcome\":\"completed\",\"blocks_sent\":100,\"bytes_sent\":102400,"
                  "\"blocks\":100}");
    }
}

// A block the reader refuses is resent up to three times; refused a fourth time, the upgrade
// fails naming the block and no end command reaches the reader.
TEST_F(CliTransports, FirmwareUpgradeResendsThenFailsAtTheRefusedBlock) {
    writeImage(ptyDir_ / "image.bin", 10 * 1024);
    struct Case {
        int refusals;
        int status;
        std::string result;  // the last line of stdout
    };
    const Case cases[] = {
        {3, 0, R"({"outcome":"completed","blocks_sent":10,"bytes_sent":10240,"blocks":10})"},
        {4, 1,
         R"({"outcome":"block-failed","failed_block":5,"blocks_sent":5,"bytes_sent":5120,)"
         R"("blocks":10})"},
    };
    for (const Case &c : cases) {
        const Site site = tcpSite();
        site.reader->withModel([&](ReaderModel &model) { model.upgradeRefusal = {5, c.refusals}; });
        const Finished run =
            runCli(site, {"firmware", "upgrade", (ptyDir_ / "image.bin").string(), "--json"});
        const std::string label = std::to_string(c.refusals) + " refusals";
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        const auto numbers = upgradeBlockNumbers(*site.reader, kUpgradeBlockCommand);
        EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 5), std::min(c.refusals + 1, 4))
            << label;
        const auto results = linesOf(run.out);
        ASSERT_FALSE(results.empty()) << label;
        EXPECT_EQ(results.back(), c.result) << label;
        if (c.status == 0) {
            EXPECT_TRUE(anyEndCommand(*site.reader)) << label;
            continue;
        }
        EXPECT_EQ(numbers.back(), 5) << label;
        EXPECT_FALSE(anyEndCommand(*site.reader)) << label;
        const auto lines = linesOf(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_NE(lines[0].find("block 5 was not acknowledged"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("may need the upgrade again"), std::string::npos) << lines[0];
    }
}

// Ctrl-C stops the upgrade between blocks: exit status 130, one line saying how far it got,
// no end command. The reader answers slowly so that the upgrade is still running.
TEST_F(CliTransports, FirmwareUpgradeInterruptedStopsBetweenBlocks) {
    writeImage(ptyDir_ / "image.bin", 1024 * 1024);
    Site site = tcpSite();
    readersim::Faults slow;
    slow.answerDelay = std::chrono::milliseconds(20);
    site.reader->setFaults(slow);
    ChildProcess upgrade =
        startCli(site, {"firmware", "upgrade", (ptyDir_ / "image.bin").string(), "--json"});
    ASSERT_TRUE(upgrade.waitForLine(std::chrono::seconds(30)));
    upgrade.signal(SIGINT);
    const Finished run = upgrade.finish();
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_FALSE(anyEndCommand(*site.reader));
    const auto errors = linesOf(run.err);
    ASSERT_EQ(errors.size(), 1u) << run.err;
    EXPECT_NE(errors[0].find("cancelled after "), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find(" of 1024 blocks"), std::string::npos) << errors[0];
    const auto lines = linesOf(run.out);
    ASSERT_GE(lines.size(), 2u) << run.out;
    size_t received = 0;
    site.reader->withModel([&](ReaderModel &model) { received = model.upgrade.image.size(); });
    const std::regex result(
        R"(\{"outcome":"cancelled","blocks_sent":([0-9]+),"bytes_sent":([0-9]+),"blocks":1024\})");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines.back(), match, result)) << lines.back();
    EXPECT_EQ(std::stoul(match[2].str()), received);
    EXPECT_EQ(lines.size(), std::stoul(match[1].str()) + 1);  // a progress line per block
    EXPECT_LT(received, 1024u * 1024u);
}

// Bad values and files are refused before anything is sent: exit status 2 for a block size
// or password, 4 for a file that cannot be read or holds no image.
TEST_F(CliTransports, FirmwareUpgradeRefusesBadInputBeforeSending) {
    const Site site = tcpSite();
    writeImage(ptyDir_ / "image.bin", 4096);
    std::ofstream(ptyDir_ / "empty.bin").close();
    const std::string image = (ptyDir_ / "image.bin").string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;  // a part of the one error line
    };
    const Case cases[] = {
        {{image, "--block-size", "17"}, 2, "block size 17 is not a multiple of 16"},
        {{image, "--block-size", "0"}, 2, "block size \"0\""},
        {{image, "--block-size", "1552"}, 2, "block size \"1552\""},
        {{image, "--block-size", "many"}, 2, "block size \"many\""},
        {{image, "--password", "0102"}, 2, "password \"0102\""},
        {{(ptyDir_ / "missing.bin").string()}, 4, "cannot read "},
        {{ptyDir_.string()}, 4, "cannot read "},
        {{(ptyDir_ / "empty.bin").string()}, 4, "the image is empty"},
    };
    for (const Case &c : cases) {
        site.reader->clearRequests();
        std::vector<std::string> arguments = {"firmware", "upgrade"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const Finished run = runCli(site, arguments);
        const std::string label = c.arguments.back();
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        const auto lines = linesOf(run.err);
        ASSERT_EQ(lines.size(), 1u) << label << "\n" << run.err;
        EXPECT_NE(lines[0].find(c.err), std::string::npos) << label << ": " << lines[0];
        EXPECT_TRUE(site.reader->requests().empty()) << label;
    }
}

// ---- profile export|import ----------------------------------------------------------------

// A reader of a family, as the program would meet it, on TCP or a pseudo-terminal.
Site familySite(const std::string &family, const std::string &transport,
                const std::filesystem::path &directory, const std::string &name) {
    readersim::ReaderOptions options;
    options.family = family;
    options.tagCount = 0;
    Site site{family + " over " + transport + " (" + name + ")",
              std::make_unique<VirtualReader>(options),
              {},
              {}};
    if (transport == "tcp") {
        site.address = "tcp://127.0.0.1:" + std::to_string(site.reader->serveTcp());
    } else {
        const std::string link = (directory / name).string();
        site.reader->servePty(link);
        site.address = "serial:" + link;
    }
    return site;
}

// Runs `steps` on a handle of the site's reader, closed again before the tool reaches it.
template <typename Steps>
auto withHandle(const Site &site, Steps steps) {
    char error[256] = "";
    QnReader *reader = QnReader_Open(site.address.c_str(), error, sizeof error);
    EXPECT_NE(reader, nullptr) << error;
    auto result = steps(cli::profileAccess(reader));
    QnReader_Close(reader);
    return result;
}

// Distinct records in the source (the work mode kept, so no reader starts pushing reports).
void fillRecords(VirtualReader &reader) {
    const int workMode = record::find(record::deviceRecord, "work_mode")->offset;
    reader.withModel([&](ReaderModel &model) {
        uint8_t seed = 0x11;
        for (readersim::ParamRecord *held :
             {&model.deviceRecord, &model.netRecord, &model.specialRecord}) {
            held->lead = seed;
            for (size_t index = 0; index < held->body.size(); ++index) {
                held->body[index] = static_cast<uint8_t>(seed + index * 7);
            }
            seed += 0x22;
        }
        model.deviceRecord.body[static_cast<size_t>(workMode)] = 0;
    });
}

// What a profile of `source` carries: 200 bytes of each record as far as the reader sends
// them (the special record of an Elm reader only), the rest zero.
struct Copied {
    Bytes device, network, special;
};

Copied profileOf(VirtualReader &source) {
    const auto first = [](const Bytes &body, size_t sent) {
        Bytes bytes(deviceprofile::recordLength, 0);
        std::copy_n(body.begin(), std::min<size_t>(sent, bytes.size()), bytes.begin());
        return bytes;
    };
    Copied copied;
    source.withModel([&](ReaderModel &model) {
        const bool elm = model.family() == readersim::Family::Elm;
        copied = {first(model.deviceRecord.body, static_cast<size_t>(model.deviceRecordSize())),
                  first(model.netRecord.body, 250), first(model.specialRecord.body, elm ? 200 : 0)};
    });
    return copied;
}

// The target holds the profile's records, written with the leading byte of its own network
// record and keeping its own MAC address (the first 6 network bytes).
void expectImported(const Copied &profile, VirtualReader &target, uint8_t ownLead,
                    const Bytes &ownMac, const std::string &label) {
    Copied expected = profile;
    std::copy(ownMac.begin(), ownMac.end(), expected.network.begin());
    target.withModel([&](ReaderModel &model) {
        const auto first200 = [](const Bytes &body) {
            return Bytes(body.begin(), body.begin() + 200);
        };
        EXPECT_EQ(first200(model.deviceRecord.body), expected.device) << label;
        EXPECT_EQ(first200(model.netRecord.body), expected.network) << label;
        EXPECT_EQ(first200(model.specialRecord.body), expected.special) << label;
        for (const readersim::ParamRecord *held :
             {&model.deviceRecord, &model.netRecord, &model.specialRecord}) {
            EXPECT_EQ(held->lead, ownLead) << label;
        }
    });
}

std::pair<uint8_t, Bytes> ownNetwork(VirtualReader &reader) {
    std::pair<uint8_t, Bytes> own;
    reader.withModel([&](ReaderModel &model) {
        own = {model.netRecord.lead,
               Bytes(model.netRecord.body.begin(), model.netRecord.body.begin() + 6)};
    });
    return own;
}

QByteArray fileBytes(const std::filesystem::path &path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A profile exported by the tool is the program's file byte for byte and imports with the
// program's code; a profile the program's code wrote imports with the tool. Fir and Cedar over
// TCP, Elm (the family whose special record is copied) over a pseudo-terminal.
TEST_F(CliTransports, ProfilesMoveBetweenTheToolAndTheProgram) {
    const std::pair<std::string, std::string> cases[] = {
        {"fir", "tcp"}, {"cedar", "tcp"}, {"elm", "pty"}};
    for (const auto &[family, transport] : cases) {
        Site source = familySite(family, transport, ptyDir_, family + "-source");
        Site toProgram = familySite(family, transport, ptyDir_, family + "-program");
        Site toTool = familySite(family, transport, ptyDir_, family + "-tool");
        fillRecords(*source.reader);
        toTool.reader->withModel([](ReaderModel &model) { model.netRecord.lead = 0x07; });
        const Copied profile = profileOf(*source.reader);
        const std::string label = source.name;

        // The tool exports: FILE exactly as named, the program's text of the same records.
        const std::filesystem::path fromTool = ptyDir_ / (family + "-profile");
        const Finished exported =
            runCli(source, {"--json", "profile", "export", fromTool.string()});
        ASSERT_EQ(exported.status, 0) << label << "\n" << exported.err;
        uint8_t type = 0;
        source.reader->withModel([&](ReaderModel &model) { type = model.type(); });
        EXPECT_EQ(exported.out, "{\"file\":\"" + fromTool.string() + "\",\"type\":" +
                                    std::to_string(type) + ",\"records\":[\"device\",\"network\"" +
                                    (family == "elm" ? ",\"special\"" : "") + "]}\n")
            << label;
        EXPECT_FALSE(std::filesystem::exists(fromTool.string() + ".ini")) << label;
        const QString fromToolPath = QString::fromStdString(fromTool.string());
        const QDateTime created = QDateTime::fromString(
            CIniFile(fromToolPath)
                .readText(deviceprofile::section, deviceprofile::createTimeKey, 14),
            QStringLiteral("yyyyMMddHHmmss"));
        ASSERT_TRUE(created.isValid()) << label;
        const std::filesystem::path fromProgram = ptyDir_ / (family + "-program.ini");
        const QString fromProgramPath = QString::fromStdString(fromProgram.string());
        const std::optional<deviceprofile::Records> read =
            withHandle(source, [&](const deviceprofile::RecordAccess &access) {
                return deviceprofile::readRecords(access, type);
            });
        ASSERT_TRUE(read) << label;
        ASSERT_EQ(deviceprofile::write(fromProgramPath, *read, created), QString()) << label;
        EXPECT_EQ(fileBytes(fromTool), fileBytes(fromProgram)) << label;

        // The program's code imports what the tool wrote.
        const auto [programLead, programMac] = ownNetwork(*toProgram.reader);
        const deviceprofile::Decoded decoded = deviceprofile::decode(CIniFile(fromToolPath).load());
        ASSERT_EQ(decoded.refusal, deviceprofile::Refusal::None) << label;
        const std::optional<deviceprofile::Written> written =
            withHandle(toProgram, [&](const deviceprofile::RecordAccess &access) {
                return deviceprofile::writeRecords(access, decoded.records);
            });
        ASSERT_TRUE(written && written->complete()) << label;
        expectImported(profile, *toProgram.reader, programLead, programMac, label + ", program");

        // The tool imports what the program wrote.
        const auto [toolLead, toolMac] = ownNetwork(*toTool.reader);
        const Finished imported = runCli(toTool, {"profile", "import", fromProgram.string()});
        ASSERT_EQ(imported.status, 0) << label << "\n" << imported.err;
        EXPECT_EQ(imported.out,
                  fromProgram.string() + ": profile imported (device, network, special records)\n")
            << label;
        expectImported(profile, *toTool.reader, toolLead, toolMac, label + ", tool");
    }
}

// Files the window refuses are refused before the reader is opened, a file that cannot be read
// or written ends with status 4, a reader without the records with 1; none of them writes a
// record. An existing FILE is kept unless --force replaces it.
TEST_F(CliTransports, ProfileRefusalsWriteNothing) {
    Site fir = tcpSite();
    Site birch = familySite("birch", "tcp", ptyDir_, "birch");
    const std::filesystem::path existing = ptyDir_ / "existing";
    const std::string kept = "[DeviceParam]\nkept\n";
    {
        QFile file(QString::fromStdString(existing.string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kept.c_str());
    }
    const std::filesystem::path link = ptyDir_ / "link";
    std::filesystem::create_symlink(existing, link);
    const auto profileFile = [&](const std::string &name, const std::string &devType,
                                 const std::string &device) {
        const std::filesystem::path path = ptyDir_ / name;
        QFile file(QString::fromStdString(path.string()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        std::string record;
        for (int index = 0; index < 200; ++index) record += "0A ";
        file.write(("[DeviceParam]\nDevType=" + devType + "\nCreateTime=20310307090501\nDevParam=" +
                    device + "\nNetParam=" + record + "\nSpecialParam=" + record + "\n")
                       .c_str());
        return path.string();
    };
    std::string whole;
    for (int index = 0; index < 200; ++index) whole += "0A ";
    const std::string damaged = profileFile("damaged", "50", whole.substr(0, 300));
    const std::string badType = profileFile("bad-type", "050", whole);
    const std::string good = profileFile("good", "50", whole);

    struct Case {
        Site *site;
        std::vector<std::string> arguments;
        int status;
        std::string err;  // a part of the one error line
        bool anyRequest;  // whether the reader was reached at all
    };
    const Case cases[] = {
        {&fir,
         {"profile", "import", damaged},
         4,
         damaged + " is not a device profile: its DevParam entry is missing, cut short",
         false},
        {&fir,
         {"profile", "import", badType},
         4,
         "the device type entry is missing or malformed",
         false},
        {&fir, {"profile", "import", (ptyDir_ / "missing").string()}, 4, "no such file", false},
        {&fir, {"profile", "import", ptyDir_.string()}, 4, "not a regular file", false},
        {&fir, {"profile", "export", existing.string()}, 4, "already exists (give --force", false},
        {&fir,
         {"profile", "export", (ptyDir_ / "no-folder" / "p").string()},
         4,
         "cannot write",
         true},
        {&fir, {"profile", "export", "--force", link.string()}, 4, "symbolic link", true},
        {&birch, {"profile", "import", good}, 1, "profile import: the reader refused", true},
        {&birch,
         {"profile", "export", (ptyDir_ / "from-birch").string()},
         1,
         "profile export: the reader refused",
         true},
    };
    for (const Case &c : cases) {
        c.site->reader->clearRequests();
        const Finished run = runCli(*c.site, c.arguments);
        const std::string label = c.arguments[1] + " " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        const auto lines = linesOf(run.err);
        ASSERT_EQ(lines.size(), 1u) << label << "\n" << run.err;
        EXPECT_NE(lines[0].find(c.err), std::string::npos) << label << ": " << lines[0];
        EXPECT_EQ(run.out, "") << label;
        EXPECT_EQ(!c.site->reader->requests().empty(), c.anyRequest) << label;
        EXPECT_FALSE(anyRecordWritten(*c.site->reader)) << label;
    }
    EXPECT_EQ(fileBytes(existing).toStdString(), kept);
    EXPECT_FALSE(std::filesystem::exists(ptyDir_ / "from-birch"));

    const Finished forced = runCli(fir, {"profile", "export", "--force", existing.string()});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.out, existing.string() + ": profile written (device, network records)\n");
    EXPECT_TRUE(fileBytes(existing).startsWith("[DeviceParam]\nDevType="))
        << fileBytes(existing).constData();
}

}  // namespace
