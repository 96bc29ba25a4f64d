// tagbench-cli end to end: the built program run as a child process against virtual readers
// served here over TCP, a pseudo-terminal and the HID tunnel.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
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
#include <thread>
#include <vector>

#include "QnReader.h"
#include "child_process.h"
#include "command_table.h"
#include "loopback_socket.h"
#include "param_records.h"
#include "profile/device_profile.h"
#include "reader_frames.h"
#include "reader_model.h"
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

// The tool with its stdin read from `input`.
Finished runCliReading(const Site &site, const std::filesystem::path &input,
                       const std::vector<std::string> &arguments) {
    std::vector<std::string> all = {"-c",
                                    "input=$1; shift; exec \"$@\" < \"$input\"",
                                    "sh",
                                    input.string(),
                                    TAGBENCH_CLI_PATH,
                                    "--reader",
                                    site.address};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return ChildProcess("/bin/sh", all, testsupport::childEnvironment(site.environment)).finish();
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
        const std::string epc = firstTag(reader, [](const auto &tag) { return hexOf(tag.epc()); });
        const std::string newEpc = "E2000017220A0100000000AB";
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
            // Memory commands name the tag they touched.
            {{"read", "tid", "0", "0x6"}, epc + " " + tid + "\n"},
            {{"write", "user", "2", "12abCDEF", "--epc", epc}, epc + "\n"},
            {{"--json", "read", "3", "2", "2"},
             "{\"epc\":\"" + epc + "\",\"data\":\"12ABCDEF\"}\n"},
            {{"write-epc", newEpc, "--password", "00000000"},
             epc + " " + newEpc + "\n",
             [&] {
                 return firstTag(reader, [](const auto &tag) { return hexOf(tag.epc()); }) ==
                        "E2000017220A0100000000AB";
             }},
            {{"inventory", "--rounds", "1", "--format", "csv"},
             "",
             always,
             "epc,antenna,rssi,first_seen\n"
             "E2000017220A0100000000AB,1,[0-9]+,[-0-9T:.]+Z\n"},
            {{"inventory", "--rounds", "2", "--interval", "0", "--format", "table"},
             "",
             always,
             "epc +antenna +rssi +first_seen\n"
             "E2000017220A0100000000AB +1 +[0-9]+ +[-0-9T:.]+Z\n"},
            {{"lock", "00000000", "--lock", "user=lock"},
             newEpc + " user=lock\n",
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

    // watch only listens: it asks who the reader is and its work mode, and nothing else.
    Site site = tcpSite(3);
    site.reader->withModel([](ReaderModel &model) {
        model.enterActiveMode();
        model.activeRunning = false;
    });
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
    for (const auto &request : site.reader->requests()) {
        const auto command = static_cast<qn::Command>(request[5]);
        EXPECT_TRUE(command == qn::Command::GetDeviceSystemInfo ||
                    command == qn::Command::ReadDeviceParam)
            << int(request[5]);
    }
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
        {{"time"}, 2, "usage: tagbench-cli time COMMAND, COMMAND one of get, set"},
        {{"inventory", "--interval", "abc"}, 2, "--interval takes milliseconds, 0 to 3600000"},
        {{"inventory", "--duration", "-1"}, 2, "--duration takes seconds, 0 to 31622400"},
        {{"inventory", "--rounds", "0"}, 2, "--rounds takes a count, 1 to 1000000000"},
        {{"--retry", "x", "info"}, 2, "takes a count, 0 to 999"},
        {{"--max-time", "0", "info"}, 2, "takes seconds, more than 0"},
        {{"--family", "oak", "info"}, 2, "--family takes a family name: fir, hazel, elm"},
        {{"--json", "inventory", "--format", "table"}, 2, "--json means --format ndjson"},
        {{"info"}, 2, "the baud rate must be a standard one", "serial:/dev/ttyS0?baud=12"},
        {{"lock", "00000000"}, 2, "either --lock AREA=ACTION or a CODE"},
        {{"lock", "00000000", "--lock", "user=melt"}, 2, "--lock \"user=melt\""},
        {{"read", "epc", "0", "1", "--epc", "E2G0"}, 2, "--epc \"E2G0\""},
        {{"read", "epc", "0", "1", "--mask", "epc:32"}, 2, "--mask \"epc:32\""},
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
        const Finished set =
            runCli(site, {"--json", "params", "set", "rf_power_dbm=20", "work_mode=active",
                          "baud_rate=9600", "q_value=0x0F", "beeper=no"});
        ASSERT_EQ(set.status, 0) << set.err;
        for (const char *shown : {R"("rf_power_dbm":20)", R"("work_mode":"active")",
                                  R"("baud_rate":9600)", R"("q_value":15)", R"("beeper":false)"})
            EXPECT_NE(set.out.find(shown), std::string::npos) << shown << " in " << set.out;
        std::vector<uint8_t> expected = before;
        expected[1] = 1;  // active
        expected[4] = 20;
        expected[5] = 0;  // beeper off
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
        // Flags go back as get prints them (true/false) and as yes/no.
        const Finished special = runCli(site, {"special", "set", "relay_time=5", "relay=yes"});
        EXPECT_NE(special.out.find("relay=true\nrelay_time=5\n"), std::string::npos) << special.out;

        struct Refusal {
            std::vector<std::string> arguments;
            std::string err;
        };
        const Refusal refusals[] = {
            {{"params", "set", "q_value=16"}, "q_value takes a number from 0 to 15"},
            {{"params", "set", "work_mode=sleep"}, "work_mode takes answer, active or trigger"},
            {{"params", "set", "baud_rate=4800"}, "baud_rate takes 9600, 19200"},
            {{"params", "set", "beeper=on"}, "beeper takes true or false (also yes/no, 1/0)"},
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
        {{ptyDir_.string()}, 4, "cannot read " + ptyDir_.string() + ": it is a directory"},
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

using deviceprofile::Bytes;

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

// Runs one profile call of the handle API on the site's reader, closed again before the tool
// reaches it: its result and report.
std::pair<int, std::string> onHandle(const Site &site,
                                     const std::function<int(QnReader *, char *, size_t)> &call) {
    char error[256] = "";
    QnReader *reader = QnReader_Open(site.address.c_str(), error, sizeof error);
    EXPECT_NE(reader, nullptr) << error;
    char report[512] = "";
    const int result = reader ? call(reader, report, sizeof report) : 0;
    QnReader_Close(reader);
    return {result, report};
}

// Distinct records in every reader (the work mode kept, so no reader starts pushing reports).
void fillRecords(VirtualReader &reader, uint8_t seed) {
    const int workMode = record::find(record::deviceRecord, "work_mode")->offset;
    reader.withModel([&](ReaderModel &model) {
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

// A reader's three records as it holds them.
struct Held {
    readersim::ParamRecord device, network, special;
};

Held heldBy(VirtualReader &reader) {
    Held held;
    reader.withModel([&](ReaderModel &model) {
        held = {model.deviceRecord, model.netRecord, model.specialRecord};
    });
    return held;
}

bool hasNetwork(VirtualReader &reader) {
    bool network = false;
    reader.withModel(
        [&](ReaderModel &model) { network = readerfamily::traitsOfType(model.type()).hasNetwork; });
    return network;
}

// What a profile of `source` carries of a record: 200 bytes as far as the reader sends them.
Bytes sent(const Bytes &body, size_t length) {
    Bytes bytes(deviceprofile::recordLength, 0);
    std::copy_n(body.begin(), std::min<size_t>(length, bytes.size()), bytes.begin());
    return bytes;
}

Bytes first200(const Bytes &body) {
    return Bytes(body.begin(), body.begin() + 200);
}

// The target after an import of the source's profile: the records both have are the source's
// 200 bytes (the network record with the target's own MAC address), written with the leading
// byte of the target's own network record (device record where it has none); every record the
// source did not have stays the target's.
void expectCopied(VirtualReader &source, VirtualReader &target, const Held &before,
                  const std::string &label) {
    const Held from = heldBy(source);
    const Held after = heldBy(target);
    size_t deviceLength = 0;
    source.withModel([&](ReaderModel &model) { deviceLength = model.deviceRecordSize(); });
    const bool sourceNetwork = hasNetwork(source);
    const bool targetNetwork = hasNetwork(target);
    const uint8_t lead = targetNetwork ? before.network.lead : before.device.lead;
    EXPECT_EQ(first200(after.device.body), sent(from.device.body, deviceLength)) << label;
    EXPECT_EQ(after.device.lead, lead) << label;
    if (sourceNetwork && targetNetwork) {
        Bytes network = first200(from.network.body);
        std::copy_n(before.network.body.begin(), 6, network.begin());
        EXPECT_EQ(first200(after.network.body), network) << label;
        EXPECT_EQ(first200(after.special.body), first200(from.special.body)) << label;
        EXPECT_EQ(after.special.lead, lead) << label;
    } else {
        EXPECT_EQ(after.network.body, before.network.body) << label;
        EXPECT_EQ(after.network.lead, before.network.lead) << label;
        EXPECT_EQ(after.special.body, before.special.body) << label;
        EXPECT_EQ(after.special.lead, before.special.lead) << label;
    }
}

std::string fileText(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string withoutCreateTime(const std::string &text) {
    static const std::regex createTime("CreateTime=[0-9]{14}\n");
    return std::regex_replace(text, createTime, "");
}

void writeText(const std::filesystem::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Profiles copy what they say, between families: export reads every record the source has
// and names them; the tool and the handle API write the same file; an import writes the
// records the profile holds and the target has, so a target keeps its special (and network)
// record where the source had none and takes the source's where it had one. FILE "-" is
// stdout for an export, which then carries the profile alone, and stdin for an import.
TEST_F(CliTransports, ProfilesCopyWhatTheySayBetweenFamilies) {
    struct Case {
        std::string source, target, transport;
        bool streams = false;  // the tool exports to stdout and imports from stdin
    };
    const Case cases[] = {
        {"fir", "cedar", "tcp", true}, {"birch", "fir", "tcp"},    {"elm", "elm", "pty", true},
        {"alder", "hazel", "tcp"},     {"hazel", "birch2", "tcp"}, {"birch2", "alder", "pty"},
        {"cedar2", "birch", "tcp"},
    };
    for (const Case &c : cases) {
        const std::string label = c.source + " -> " + c.target;
        Site source = familySite(c.source, c.transport, ptyDir_, c.source + "-source");
        Site toTool = familySite(c.target, c.transport, ptyDir_, c.target + "-tool");
        Site toHandle = familySite(c.target, c.transport, ptyDir_, c.target + "-handle");
        fillRecords(*source.reader, 0x11);
        fillRecords(*toTool.reader, 0x05);
        fillRecords(*toHandle.reader, 0x07);
        const bool sourceNetwork = hasNetwork(*source.reader);
        const std::string written =
            sourceNetwork ? "device, network, special records" : "device record";

        // The tool and the handle API export the same file, named as given.
        const std::filesystem::path fromTool = ptyDir_ / (c.source + "-tool-profile");
        const std::string target = c.streams ? "-" : fromTool.string();
        const Finished exported = runCli(source, {"profile", "export", target});
        ASSERT_EQ(exported.status, 0) << label << "\n" << exported.err;
        const std::string exportLine =
            (c.streams ? "standard output" : target) + ": profile written (" + written + ")\n";
        EXPECT_EQ(c.streams ? exported.err : exported.out, exportLine) << label;
        if (c.streams) writeText(fromTool, exported.out);
        const std::filesystem::path fromHandle = ptyDir_ / (c.source + "-handle-profile");
        const auto [exportResult, exportReport] =
            onHandle(source, [&](QnReader *reader, char *report, size_t size) {
                return QnReader_ExportProfile(reader, 0xFF, fromHandle.c_str(), 0, report, size);
            });
        EXPECT_EQ(exportResult, 1) << label << ": " << exportReport;
        EXPECT_EQ(exportReport, fromHandle.string() + ": profile written (" + written + ")");
        EXPECT_EQ(withoutCreateTime(fileText(fromTool)), withoutCreateTime(fileText(fromHandle)))
            << label;

        // The tool imports what the handle API wrote, and the handle API what the tool wrote.
        const bool bothNetwork = sourceNetwork && hasNetwork(*toTool.reader);
        const std::string imported =
            bothNetwork ? "device, network, special records" : "device record";
        const Held toolBefore = heldBy(*toTool.reader);
        const Finished toolImport =
            c.streams ? runCliReading(toTool, fromHandle, {"profile", "import", "-"})
                      : runCli(toTool, {"profile", "import", fromHandle.string()});
        ASSERT_EQ(toolImport.status, 0) << label << "\n" << toolImport.err;
        EXPECT_EQ(toolImport.out, (c.streams ? "standard input" : fromHandle.string()) +
                                      ": profile imported (" + imported + ")\n")
            << label;
        expectCopied(*source.reader, *toTool.reader, toolBefore, label + ", tool");

        const Held handleBefore = heldBy(*toHandle.reader);
        const auto [importResult, importReport] =
            onHandle(toHandle, [&](QnReader *reader, char *report, size_t size) {
                return QnReader_ImportProfile(reader, 0xFF, fromTool.c_str(), report, size);
            });
        EXPECT_EQ(importResult, 1) << label << ": " << importReport;
        EXPECT_EQ(importReport, fromTool.string() + ": profile imported (" + imported + ")");
        expectCopied(*source.reader, *toHandle.reader, handleBefore, label + ", handle");
    }
}

// Every family by name: a record the family lacks is refused naming the family; --family lets
// a command go ahead only on a reader of that family, and refuses another one naming both
// families before any write.
TEST_F(CliTransports, EveryFamilyByName) {
    const std::vector<std::string> families = {"fir",    "hazel", "elm",    "cedar",
                                               "cedar2", "birch", "birch2", "alder"};
    for (std::size_t index = 0; index < families.size(); ++index) {
        const std::string &family = families[index];
        const std::string &other = families[(index + 1) % families.size()];
        Site site = familySite(family, "tcp", ptyDir_, family);
        struct Case {
            std::vector<std::string> arguments;
            int status;
            std::string err;  // the whole of stderr
        };
        std::vector<Case> cases = {
            {{"--family", family, "info"}, 0, ""},
            {{"params", "get", "--family", family}, 0, ""},
            {{"--family", other, "params", "set", "beeper=no"},
             8,
             "tagbench-cli: reader " + site.address + " is of the " + family + " family, not " +
                 other + " (--family); nothing was written to it\n"},
            {{"--family", other, "time", "set", "now"}, 8, ""},
        };
        for (const std::string record : {"net", "special"}) {
            if (hasNetwork(*site.reader)) break;
            const std::string name = record == "net" ? "network" : "special";
            cases.push_back({{record, "get"},
                             2,
                             "tagbench-cli: " + family + " readers have no " + name + " record\n"});
        }
        for (const Case &c : cases) {
            const std::string label = family + ": " + c.arguments[0] + " " + c.arguments[1];
            const Finished run = runCli(site, c.arguments);
            EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
            if (!c.err.empty()) {
                EXPECT_EQ(run.err, c.err) << label;
            }
        }
        EXPECT_FALSE(anyRecordWritten(*site.reader)) << family;
    }
}

// A file of an earlier export holds zeros for a special record it did not read: importing it
// leaves the target's special record as it is; a special record read (not zero) is written.
TEST_F(CliTransports, EarlierProfilesKeepTheTargetsSpecialRecord) {
    std::string zeros, ones;
    for (int index = 0; index < 200; ++index) {
        zeros += "00 ";
        ones += "01 ";
    }
    const std::pair<std::string, std::string> files[] = {
        {zeros, "device, network records"},
        {ones, "device, network, special records"},
    };
    for (const auto &[special, imported] : files) {
        Site fir = familySite("fir", "tcp", ptyDir_, "fir");
        fillRecords(*fir.reader, 0x09);
        const Held before = heldBy(*fir.reader);
        const std::filesystem::path path = ptyDir_ / "earlier.ini";
        writeText(path, "[DeviceParam]\r\nDevType=03\r\nCreateTime=20310307090501\r\nDevParam=" +
                            ones + "\r\nNetParam=" + ones + "\r\nSpecialParam=" + special + "\r\n");
        const Finished run = runCli(fir, {"profile", "import", path.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, path.string() + ": profile imported (" + imported + ")\n");
        const Held after = heldBy(*fir.reader);
        EXPECT_EQ(first200(after.device.body), Bytes(200, 1));
        if (special == zeros) {
            EXPECT_EQ(after.special.body, before.special.body);
            EXPECT_EQ(after.special.lead, before.special.lead);
        } else {
            EXPECT_EQ(first200(after.special.body), Bytes(200, 1));
        }
    }
}

// Files the window refuses are refused before the reader is opened, a file that cannot be read
// or written ends with status 4, a folder given as FILE is a usage error; none of them writes a
// record. An existing FILE is kept unless
// --force replaces it; the handle API refuses the same files with the same reasons.
TEST_F(CliTransports, ProfileRefusalsWriteNothing) {
    Site fir = tcpSite();
    const std::filesystem::path existing = ptyDir_ / "existing";
    const std::string kept = "[DeviceParam]\nkept\n";
    writeText(existing, kept);
    const std::filesystem::path link = ptyDir_ / "link";
    std::filesystem::create_symlink(existing, link);
    const auto profileFile = [&](const std::string &name, const std::string &devType,
                                 const std::string &device) {
        const std::filesystem::path path = ptyDir_ / name;
        std::string record;
        for (int index = 0; index < 200; ++index) record += "0A ";
        writeText(path, "[DeviceParam]\nDevType=" + devType +
                            "\nCreateTime=20310307090501\nDevParam=" + device +
                            "\nNetParam=" + record + "\nSpecialParam=" + record + "\n");
        return path.string();
    };
    std::string whole;
    for (int index = 0; index < 200; ++index) whole += "0A ";
    const std::string damaged = profileFile("damaged", "50", whole.substr(0, 300));
    const std::string badType = profileFile("bad-type", "050", whole);

    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;  // a part of the one error line
        bool anyRequest;  // whether the reader was reached at all
    };
    const Case cases[] = {
        {{"profile", "import", damaged},
         4,
         damaged + " is not a device profile: its DevParam entry is missing, cut short",
         false},
        {{"profile", "import", badType}, 4, "the device type entry is missing or malformed", false},
        {{"profile", "import", (ptyDir_ / "missing").string()}, 4, "no such file", false},
        {{"profile", "import", ptyDir_.string()}, 2, ptyDir_.string() + " is a directory", false},
        {{"profile", "export", ptyDir_.string()}, 2, ptyDir_.string() + " is a directory", false},
        {{"profile", "export", "--force", ptyDir_.string()}, 2, "is a directory", false},
        {{"profile", "export", existing.string()}, 4, "already exists (give --force", false},
        {{"profile", "export", (ptyDir_ / "no-folder" / "p").string()}, 4, "cannot write", true},
        {{"profile", "export", "--force", link.string()}, 4, "symbolic link", true},
    };
    for (const Case &c : cases) {
        fir.reader->clearRequests();
        const Finished run = runCli(fir, c.arguments);
        const std::string label = c.arguments[1] + " " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        const auto lines = linesOf(run.err);
        ASSERT_EQ(lines.size(), 1u) << label << "\n" << run.err;
        EXPECT_NE(lines[0].find(c.err), std::string::npos) << label << ": " << lines[0];
        EXPECT_EQ(run.out, "") << label;
        EXPECT_EQ(!fir.reader->requests().empty(), c.anyRequest) << label;
        EXPECT_FALSE(anyRecordWritten(*fir.reader)) << label;

        // The same refusal through the handle API (without --force: no overwrite).
        const std::string &file = c.arguments.back();
        const bool exporting = c.arguments[1] == "export";
        const auto [result, report] = onHandle(fir, [&](QnReader *reader, char *text, size_t size) {
            return exporting ? QnReader_ExportProfile(reader, 0xFF, file.c_str(), 0, text, size)
                             : QnReader_ImportProfile(reader, 0xFF, file.c_str(), text, size);
        });
        EXPECT_EQ(result, 0) << label;
        EXPECT_FALSE(report.empty()) << label;
        EXPECT_FALSE(anyRecordWritten(*fir.reader)) << label;
    }
    EXPECT_EQ(fileText(existing), kept);

    const Finished forced = runCli(fir, {"profile", "export", "--force", existing.string()});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(forced.out,
              existing.string() + ": profile written (device, network, special records)\n");
    EXPECT_EQ(fileText(existing).substr(0, 22), "[DeviceParam]\nDevType=");

    // A profile that cannot reach stdout whole is a failure, said on stderr alone.
    ChildProcess full(TAGBENCH_CLI_PATH, {"--reader", fir.address, "profile", "export", "-"},
                      testsupport::childEnvironment({}), "/dev/full");
    const Finished unwritten = full.finish();
    EXPECT_EQ(unwritten.status, 4);
    EXPECT_EQ(unwritten.err,
              "tagbench-cli: profile export: cannot write the profile to standard output\n");
}

// Whether every line of a stream's output is whole: a sighting (ndjson), or a row or the
// header of a csv.
bool streamOutputComplete(const std::string &out, const std::string &format) {
    if (out.empty() || out.back() != '\n') return false;
    static const std::regex csvRow(
        R"re(^(epc,antenna,rssi,first_seen|[0-9A-F]+,[0-9]+,[0-9]+,[-0-9T:.]+Z)$)re");
    for (const std::string &line : linesOf(out)) {
        if (format == "ndjson" ? epcOfSightingLine(line).empty() : !std::regex_match(line, csvRow))
            return false;
    }
    return true;
}

bool says(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// A reader that goes away ends inventory and watch with status 5 and one line naming it; what
// was printed before stays whole.
TEST(Cli, LostReaderEndsStreamsWithItsOwnStatus) {
    for (const std::string command : {"inventory", "watch"}) {
        Site site = tcpSite(3);
        if (command == "watch") site.reader->withModel([](ReaderModel &m) { m.enterActiveMode(); });
        ChildProcess stream = startCli(site, {command, "--format", "ndjson", "--duration", "120"});
        ASSERT_TRUE(stream.waitForLine(std::chrono::seconds(30))) << command;
        site.reader->unplug();
        const Finished run = stream.finish();
        EXPECT_EQ(run.status, 5) << command << "\n" << run.err;
        EXPECT_EQ(run.err, "tagbench-cli: reader " + site.address +
                               " lost: the link went down during " + command + "\n");
        EXPECT_TRUE(streamOutputComplete(run.out, "ndjson")) << run.out;
    }
}

// Plays the port of a reader that is away for `outage`: takes every connection and drops it at
// once, as a reader that is not up yet would. The number of connections it took.
int connectionsDroppedFor(const std::string &address, std::chrono::seconds outage) {
    const auto port = static_cast<uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
    const testsupport::LoopbackSocket listener = testsupport::LoopbackSocket::listening(16, port);
    EXPECT_TRUE(listener.valid());
    int taken = 0;
    const auto end = std::chrono::steady_clock::now() + outage;
    for (auto now = std::chrono::steady_clock::now(); listener.valid() && now < end;
         now = std::chrono::steady_clock::now()) {
        pollfd waiting{listener.fd(), POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now);
        if (::poll(&waiting, 1, static_cast<int>(left.count())) > 0 && listener.acceptOne().valid())
            ++taken;
    }
    return taken;
}

// --reconnect: the stream says the reader went, waits for it, says it is back and goes on.
// While it is away the attempts to reach it come further and further apart: a few over an
// outage of seconds, not one every monitor period.
TEST(Cli, ReconnectResumesWhenTheReaderReturns) {
    Site site = tcpSite(3);
    ChildProcess inventory =
        startCli(site, {"--reconnect", "inventory", "--format", "ndjson", "--interval", "5"});
    ASSERT_TRUE(inventory.waitForLine(std::chrono::seconds(30)));
    site.reader->unplug();
    const std::string lost = "tagbench-cli: reader " + site.address + " lost: reconnecting\n";
    ASSERT_TRUE(inventory.waitFor([&](const Finished &f) { return says(f.err, lost); },
                                  std::chrono::seconds(30)))
        << inventory.sofar().err;
    const int attempts = connectionsDroppedFor(site.address, std::chrono::seconds(6));
    EXPECT_GE(attempts, 1);
    EXPECT_LE(attempts, 8);
    site.reader->replug();
    const std::string back = "tagbench-cli: reader " + site.address + " back\n";
    ASSERT_TRUE(inventory.waitFor([&](const Finished &f) { return says(f.err, back); },
                                  std::chrono::seconds(30)))
        << inventory.sofar().err;
    const std::size_t printedBeforeReturn = inventory.sofar().out.size();
    ASSERT_TRUE(inventory.waitFor(
        [&](const Finished &f) { return f.out.size() > printedBeforeReturn + 200; },
        std::chrono::seconds(30)));
    inventory.signal(SIGINT);
    const Finished run = inventory.finish();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, lost + back);
    EXPECT_TRUE(streamOutputComplete(run.out, "ndjson"));
}

// SIGINT and SIGTERM end a stream cleanly even while every core is busy: status 0 and whole
// lines, time after time.
TEST(Cli, StopSignalsUnderLoadEndStreamsCleanly) {
    std::atomic<bool> hogging{true};
    std::vector<std::thread> hogs;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
        hogs.emplace_back([&] {
            while (hogging) {
            }
        });
    }
    Site site = tcpSite(3);
    for (int run = 0; run < 24; ++run) {
        const int signal = run % 2 == 0 ? SIGINT : SIGTERM;
        const std::string format = run % 4 < 2 ? "ndjson" : "csv";
        ChildProcess inventory =
            startCli(site, {"inventory", "--interval", "0", "--format", format});
        ASSERT_TRUE(inventory.waitForLine(std::chrono::seconds(30)));
        inventory.signal(signal);
        const Finished stopped = inventory.finish();
        EXPECT_EQ(stopped.status, 0) << format << " signal " << signal << "\n" << stopped.err;
        EXPECT_EQ(stopped.err, "");
        EXPECT_TRUE(streamOutputComplete(stopped.out, format)) << stopped.out;
    }
    hogging = false;
    for (std::thread &hog : hogs) hog.join();
}

std::size_t requestCount(const VirtualReader &reader, qn::Command command) {
    std::size_t count = 0;
    for (const auto &frame : reader.requests()) {
        count += frame.size() > 5 && frame[5] == static_cast<uint8_t>(command);
    }
    return count;
}

// Memory commands act on one tag only: the one named by --epc or --mask when it is alone in
// the field; among three, or when another is there, they touch nothing.
TEST(Cli, MemoryCommandsActOnTheChosenTagOrNone) {
    Site site = tcpSite(3);
    std::vector<std::string> epcs;
    site.reader->withModel([&](ReaderModel &model) {
        for (const auto &tag : model.tags) epcs.push_back(hexOf(tag.epc()));
    });
    const std::string chosen = epcs[1];
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out, err;  // whole stdout; a part of stderr
    };
    const Case amongThree[] = {
        {{"write", "user", "0", "1234", "--epc", chosen}, 7, "", "3 tags in the field"},
        {{"lock", "00000000", "--lock", "epc=perma-lock", "--epc", chosen}, 7, "", "3 tags"},
        {{"write-epc", "1234", "--epc", "ABCD"}, 7, "", "tag ABCD is not in the field"},
        {{"write", "user", "0", "1234"}, 7, "", "3 tags in the field"},
    };
    const std::string prefix = chosen.substr(0, 8);
    const Case alone[] = {
        {{"write", "user", "0", "1234", "--epc", chosen}, 0, chosen + "\n", ""},
        {{"read", "user", "0", "1", "--epc", epcs[0]}, 7, "", "tag " + epcs[0] + " is not"},
        {{"read", "user", "0", "1", "--mask", "epc:32:" + prefix}, 0, chosen + " 1234\n", ""},
        {{"read", "user", "0", "1", "--mask", "user:4:234"}, 0, chosen + " 1234\n", ""},
        {{"read", "user", "0", "1", "--mask", "epc:32:" + std::string(8, '0')},
         7,
         "",
         "does not match --mask"},
    };
    const auto check = [&](const Case &c) {
        const Finished run = runCli(site, c.arguments);
        const std::string label = c.arguments.front() + " " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << label << "\n" << run.err;
        EXPECT_EQ(run.out, c.out) << label;
        EXPECT_TRUE(says(run.err, c.err)) << label << ": " << run.err;
    };
    for (const Case &c : amongThree) check(c);
    for (const qn::Command write :
         {qn::Command::WriteCardG2, qn::Command::WriteEPCG2, qn::Command::LockCardG2}) {
        EXPECT_EQ(requestCount(*site.reader, write), 0u);
    }
    site.reader->withModel([](ReaderModel &model) {
        model.tags.erase(model.tags.begin() + 2);
        model.tags.erase(model.tags.begin());
    });
    for (const Case &c : alone) check(c);
    site.reader->withModel([](ReaderModel &model) { model.tags.clear(); });
    check({{"read", "tid", "0", "2"}, 7, "", "read: no tag in the field"});
}

// No answer, a refusal, --retry and --max-time: each its own status and line; a write without
// an answer is never sent again.
TEST(Cli, FailuresToldApartAndRetriedWhereSafe) {
    Site site = tcpSite(1);
    readersim::Faults everySecondLost;
    everySecondLost.dropEveryNth = 2;  // the identity is answered, the next request not
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string err;  // the whole of stderr
    };
    const Case cases[] = {
        {{"--max-time", "1", "inventory", "--format", "ndjson"},
         6,
         "tagbench-cli: inventory: --max-time reached before the job was done\n"},
        {{"time", "get"}, 6, "tagbench-cli: time get: no answer within the wait\n"},
        {{"--retry", "2", "time", "get"},
         0,
         "tagbench-cli: time get: no answer within the wait; trying again (1 of 2)\n"},
        {{"--retry", "2", "relay", "on"},
         6,
         "tagbench-cli: relay on: no answer within the wait; it may or may not have been done "
         "(not tried again)\n"},
    };
    for (const Case &c : cases) {
        site.reader->setFaults(everySecondLost);
        site.reader->clearRequests();
        const Finished run = runCli(site, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments.back() << "\n" << run.err;
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(requestCount(*site.reader, qn::Command::RelayOn), 1u);  // the last case's
    site.reader->setFaults({});
    const Finished refused = runCli(site, {"read", "tid", "0", "200"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "tagbench-cli: read: the reader refused it (status 0)\n");
}

// tagbench-sim as a program: its version, its serial number (its own by default, or the one
// given), the work mode it reports; and a reader killed under a stream ends it quickly.
TEST(Cli, SimulatorIdentityWorkModeAndDeath) {
    const Finished version =
        ChildProcess(TAGBENCH_SIM_PATH, {"--version"}, testsupport::childEnvironment({})).finish();
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tagbench-sim " TAGBENCH_VERSION "\n");
    const Finished wrongType =
        ChildProcess(TAGBENCH_SIM_PATH, {"--tcp", "0", "--serial", "51112233445566"},
                     testsupport::childEnvironment({}))
            .finish();
    EXPECT_EQ(wrongType.status, 2);
    EXPECT_TRUE(says(wrongType.err, "type byte")) << wrongType.err;

    const auto startSim = [](const std::vector<std::string> &arguments) {
        std::vector<std::string> all = {"--tcp", "0", "--tags", "3"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return std::make_unique<ChildProcess>(TAGBENCH_SIM_PATH, all,
                                              testsupport::childEnvironment({}));
    };
    const auto addressOf = [](ChildProcess &sim) {
        EXPECT_TRUE(sim.waitForLine(std::chrono::seconds(30)));
        const std::string line = linesOf(sim.sofar().out).front();
        return "tcp://" + line.substr(std::string("tcp ").size());
    };
    const auto cli = [](const std::string &address, const std::vector<std::string> &arguments) {
        std::vector<std::string> all = {"--reader", address};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return ChildProcess(TAGBENCH_CLI_PATH, all, testsupport::childEnvironment({}));
    };
    auto given = startSim({"--active", "--serial", "112233445566"});
    auto first = startSim({});
    auto second = startSim({});
    const std::string givenAddress = addressOf(*given);
    EXPECT_TRUE(says(cli(givenAddress, {"info"}).finish().out, "serial    50112233445566\n"));
    const Finished params = cli(givenAddress, {"params", "get"}).finish();
    EXPECT_TRUE(says(params.out, "work_mode=active\n")) << params.out;
    const std::string one = cli(addressOf(*first), {"info"}).finish().out;
    const std::string other = cli(addressOf(*second), {"info"}).finish().out;
    EXPECT_NE(one.substr(0, 25), other.substr(0, 25)) << one << other;

    ChildProcess inventory = cli(givenAddress, {"inventory", "--format", "ndjson"});
    ASSERT_TRUE(inventory.waitForLine(std::chrono::seconds(30)));
    const auto killed = std::chrono::steady_clock::now();
    ::kill(given->pid(), SIGKILL);
    const Finished run = inventory.finish();
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - killed)
                            .count();
    std::printf("reader killed to tagbench-cli exit: %lld ms\n", static_cast<long long>(tookMs));
    EXPECT_EQ(run.status, 5) << run.err;
    EXPECT_TRUE(says(run.err, " lost: the link went down during inventory")) << run.err;
}

}  // namespace
