// tagbench-cli end to end: the built program run as a child process against virtual readers
// served here over TCP, a pseudo-terminal and the HID tunnel.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "loopback_socket.h"
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

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// One sighting of the ndjson stream; the EPC it names, or empty when the line is not one.
std::string epcOfSightingLine(const std::string &line) {
    static const std::regex shape(
        R"re(^\{"reader":"[0-9A-F]{14}","epc":"([0-9A-F]+)","antenna":[0-9]+,"rssi":[0-9]+,)re"
        R"re("time":"[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z")re"
        R"re((,"temperature":-?[0-9]+\.[0-9]+)?\}$)re");
    std::smatch match;
    return std::regex_match(line, match, shape) ? match[1].str() : std::string();
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
// a sensor tag's lines carry its temperature in degrees Celsius.
TEST(Cli, NdjsonInventoryOfAThousandTagsHasEveryTag) {
    const Site site = tcpSite(1000);
    std::set<std::string> field;
    std::string sensorEpc;
    site.reader->withModel([&](ReaderModel &model) {
        for (const auto &tag : model.tags) field.insert(hexOf(tag.epc()));
        model.tags[7].temperatureSensor = true;
        model.tags[7].temperature = 23.5f;
        sensorEpc = hexOf(model.tags[7].epc());
    });
    ASSERT_EQ(field.size(), 1000u);
    // A result holds at most 50 tags: 20 rounds see each tag once, 40 twice.
    const Finished run = runCli(site, {"inventory", "--rounds", "40", "--interval", "0", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> seen;
    for (const std::string &line : linesOf(run.out)) {
        const std::string epc = epcOfSightingLine(line);
        ASSERT_FALSE(epc.empty()) << line;
        seen.insert(epc);
        const bool hasTemperature = line.find(",\"temperature\":23.500000}") != std::string::npos;
        EXPECT_EQ(hasTemperature, epc == sensorEpc) << line;
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

}  // namespace
