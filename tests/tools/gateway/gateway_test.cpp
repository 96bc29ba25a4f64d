// tagbench-gateway run as a child process against a real Mosquitto broker, a loopback HTTP
// endpoint and readers connecting out (played by the test over plain sockets, so every
// sighting is known) or opened by address (the virtual reader).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <thread>

#include "broker.h"
#include "child_process.h"
#include "http_endpoint.h"
#include "loopback_socket.h"
#include "mqtt_recorder.h"
#include "reader_frames.h"
#include "tcp_cut.h"
#include "virtual_reader.h"

namespace {

using namespace gatewaytest;
using testsupport::Bytes;
using testsupport::ChildProcess;
using testsupport::Finished;
using testsupport::LoopbackSocket;

constexpr auto kDeadline = std::chrono::seconds(60);

struct Tag {
    Tag(std::uint32_t number, std::uint8_t antenna = 1, std::uint8_t rssi = 180,
        std::optional<float> temperature = std::nullopt)
        : number(number), antenna(antenna), rssi(rssi), temperature(temperature) {}

    std::uint32_t number;  // makes the EPC
    std::uint8_t antenna;
    std::uint8_t rssi;
    std::optional<float> temperature;  // a type-2 record; NaN stands for "no reading"
};

std::string hex(const Bytes &bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

Bytes epcOf(std::uint32_t number) {
    return {0xE2,
            0x80,
            0x11,
            0x60,
            0x00,
            0x00,
            0x00,
            0x00,
            std::uint8_t(number >> 24),
            std::uint8_t(number >> 16),
            std::uint8_t(number >> 8),
            std::uint8_t(number)};
}

// Length byte, type, antenna, EPC, RSSI and for a type-2 record four temperature bytes.
Bytes recordOf(const Tag &tag) {
    Bytes body = {std::uint8_t(tag.temperature ? 2 : 1), tag.antenna};
    const Bytes epc = epcOf(tag.number);
    body.insert(body.end(), epc.begin(), epc.end());
    body.push_back(tag.rssi);
    if (tag.temperature) {
        const auto bits = std::isnan(*tag.temperature)
                              ? 0xEEEEEEEEu
                              : std::bit_cast<std::uint32_t>(*tag.temperature);
        for (int shift = 0; shift < 32; shift += 8) body.push_back(std::uint8_t(bits >> shift));
    }
    body.insert(body.begin(), std::uint8_t(body.size()));
    return body;
}

// The message the gateway should send for a sighting, its time written as "T".
std::string expectedMessage(const std::string &reader, const Tag &tag,
                            std::optional<long> count = std::nullopt) {
    std::string json = "{\"v\":1,\"reader\":\"" + reader + "\",\"epc\":\"" +
                       hex(epcOf(tag.number)) + "\",\"antenna\":" + std::to_string(tag.antenna) +
                       ",\"rssi\":" + std::to_string(tag.rssi) + ",\"time\":\"T\"";
    if (tag.temperature && !std::isnan(*tag.temperature)) {
        char text[32];
        std::snprintf(text, sizeof text, "%f", double(*tag.temperature));
        json += std::string(",\"temperature\":") + text;
    }
    if (count) json += ",\"count\":" + std::to_string(*count);
    return json + "}";
}

// A message with its time checked (UTC, milliseconds) and written as "T".
std::string withoutTime(const std::string &json) {
    static const std::regex time(R"re("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z")re");
    return std::regex_replace(json, time, "\"time\":\"T\"");
}

std::string readerOf(const std::string &json) {
    static const std::regex reader(R"re("reader":"([0-9A-F]+)")re");
    std::smatch match;
    return std::regex_search(json, match, reader) ? match[1].str() : std::string();
}

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A reader connecting out, played over a plain socket.
class Peer {
  public:
    Peer(std::uint16_t port, Bytes serial)
        : serial_(std::move(serial)), socket_(LoopbackSocket::connectedTo(port)) {}

    std::string serial() const { return hex(serial_); }
    bool report(const std::vector<Tag> &tags) const {
        std::vector<Bytes> records;
        for (const Tag &tag : tags) records.push_back(recordOf(tag));
        const Bytes frame = testsupport::reportFrame(serial_, records);
        return socket_.sendAll(frame.data(), frame.size());
    }
    bool sendRaw(const Bytes &bytes) const { return socket_.sendAll(bytes.data(), bytes.size()); }
    // True once the gateway has closed the connection.
    bool closedByGateway() const {
        std::uint8_t byte = 0;
        return socket_.receiveExactly(&byte, 1) == false;
    }
    void close() { socket_ = LoopbackSocket(); }

  private:
    Bytes serial_;
    LoopbackSocket socket_;
};

Bytes serialOf(int index) {
    return {0x50, 0x20, 0x26, 0x12, 0x09, 0x00, std::uint8_t(index)};
}

class Gateway {
  public:
    // Listens on a free loopback port for readers connecting out, besides `arguments`;
    // `environment`: more variables ("NAME=value").
    explicit Gateway(std::vector<std::string> arguments, bool listen = true,
                     const std::vector<std::string> &environment = {}) {
        if (listen) {
            arguments.push_back("--listen");
            arguments.push_back("127.0.0.1:0");
        }
        process_ = std::make_unique<ChildProcess>(TAGBENCH_GATEWAY_PATH, arguments,
                                                  testsupport::childEnvironment(environment));
        if (!listen) return;
        static const std::regex listening(R"re(listening on 127\.0\.0\.1:(\d+))re");
        process_->waitFor(
            [&](const Finished &sofar) {
                std::smatch match;
                if (!std::regex_search(sofar.err, match, listening)) return false;
                port_ = static_cast<std::uint16_t>(std::stoi(match[1].str()));
                return true;
            },
            kDeadline);
    }

    std::uint16_t port() const { return port_; }
    ChildProcess &process() { return *process_; }
    std::vector<std::string> lines() const { return linesOf(process_->sofar().out); }
    bool waitForLines(std::size_t count) {
        return process_->waitFor(
            [&](const Finished &sofar) { return linesOf(sofar.out).size() >= count; }, kDeadline);
    }
    bool waitForLog(const std::string &text) {
        return process_->waitFor(
            [&](const Finished &sofar) { return sofar.err.find(text) != std::string::npos; },
            kDeadline);
    }
    Finished stop(int signal = SIGTERM) {
        process_->signal(signal);
        return process_->finish(kDeadline);
    }

  private:
    std::unique_ptr<ChildProcess> process_;
    std::uint16_t port_ = 0;
};

std::function<bool(const std::vector<Received> &)> atLeast(std::size_t count,
                                                           const std::string &suffix) {
    return [=](const std::vector<Received> &messages) {
        return std::size_t(std::count_if(messages.begin(), messages.end(), [&](const auto &m) {
                   return m.topic.ends_with(suffix);
               })) >= count;
    };
}

std::function<bool(const std::vector<Received> &)> has(const std::string &topic,
                                                       const std::string &text) {
    return [=](const std::vector<Received> &messages) {
        return std::any_of(messages.begin(), messages.end(), [&](const auto &m) {
            return m.topic == topic && m.payload.find(text) != std::string::npos;
        });
    };
}

TEST(GatewayTest, EverySightingArrivesOnceInOrderWithReaderStatus) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttRecorder recorder(broker.port(), {"tagbench/#"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    Gateway gateway(
        {"--mqtt", broker.url(), "--stdout", "--name", "gw1", "--stats-interval", "0.2"});
    ASSERT_NE(gateway.port(), 0);

    constexpr int kReaders = 3, kReports = 20;
    std::vector<Peer> peers;
    std::map<std::string, std::vector<std::string>> expected;  // per reader, in order
    for (int r = 0; r < kReaders; ++r) peers.emplace_back(gateway.port(), serialOf(r));
    for (int k = 0; k < kReports; ++k) {
        for (int r = 0; r < kReaders; ++r) {
            const auto base = std::uint32_t(r * 1000 + k * 3);
            const std::vector<Tag> tags = {
                {base, std::uint8_t(1 + k % 4), std::uint8_t(150 + k), std::nullopt},
                {base + 1, 2, 177, 23.5f},
                {base + 2, 3, 199, std::nanf("")},
            };
            ASSERT_TRUE(peers[r].report(tags));
            for (const Tag &tag : tags) {
                expected[peers[r].serial()].push_back(expectedMessage(peers[r].serial(), tag));
            }
        }
    }
    constexpr std::size_t kTotal = kReaders * kReports * 3;
    ASSERT_TRUE(recorder.waitFor(atLeast(kTotal, "/tags"), kDeadline));
    ASSERT_TRUE(gateway.waitForLines(kTotal));

    std::map<std::string, std::vector<std::string>> onMqtt, onStdout;
    for (const Received &message : recorder.on("/tags")) {
        EXPECT_EQ(message.topic, "tagbench/" + readerOf(message.payload) + "/tags");
        onMqtt[readerOf(message.payload)].push_back(withoutTime(message.payload));
    }
    for (const std::string &line : gateway.lines()) {
        onStdout[readerOf(line)].push_back(withoutTime(line));
    }
    EXPECT_EQ(onMqtt, expected);
    EXPECT_EQ(onStdout, expected);

    // Each reader's status names the gateway watching it.
    for (const Peer &peer : peers) {
        EXPECT_TRUE(
            has("tagbench/" + peer.serial() + "/status", "\"online\"")(recorder.messages()));
        EXPECT_TRUE(has("tagbench/" + peer.serial() + "/status",
                        "\"gateway\":\"gw1\"")(recorder.messages()));
    }
    EXPECT_TRUE(recorder.waitFor(has("tagbench/gateway/gw1/stats",
                                     "\"readers\":3,\"reports\":60,\"published\":180,"
                                     "\"dropped\":0,\"queued\":0"),
                                 kDeadline));
    for (Peer &peer : peers) peer.close();
    for (const Peer &peer : peers) {
        EXPECT_TRUE(recorder.waitFor(has("tagbench/" + peer.serial() + "/status", "\"offline\""),
                                     kDeadline));
    }
    EXPECT_EQ(recorder.on("/tags").size(), kTotal);  // nothing twice
}

TEST(GatewayTest, GatewayStatusGoesOfflineOnStopAndThroughTheWillOnKill) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    const struct {
        int signal;
        int exitStatus;  // -1: killed
    } cases[] = {{SIGTERM, 0}, {SIGINT, 0}, {SIGKILL, -1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.signal);
        const std::string name = "gw-signal-" + std::to_string(c.signal);
        const std::string topic = "tagbench/gateway/" + name + "/status";
        MqttRecorder recorder(broker.port(), {topic});
        ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
        Gateway gateway({"--mqtt", broker.url(), "--name", name});
        ASSERT_TRUE(recorder.waitFor(has(topic, "\"online\""), kDeadline));
        EXPECT_EQ(gateway.stop(c.signal).status, c.exitStatus);
        EXPECT_TRUE(recorder.waitFor(has(topic, "\"offline\""), kDeadline));
        // A new subscriber finds the retained offline status.
        MqttRecorder later(broker.port(), {topic});
        EXPECT_TRUE(later.waitFor(
            [&](const auto &messages) {
                return !messages.empty() && messages.back().retained &&
                       messages.back().payload.find("\"offline\"") != std::string::npos;
            },
            kDeadline));
    }
}

// A gateway killed with a reader online leaves that status retained; started again under the
// same name without the reader, it sets the status offline for every later subscriber. The
// status of a reader another gateway watches is left alone.
TEST(GatewayTest, RestartSetsOfflineTheReaderStatusesADeadRunLeftOnline) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttRecorder recorder(broker.port(), {"tagbench/+/status"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    Gateway other({"--mqtt", broker.url(), "--name", "gw-other"});
    Peer watchedByOther(other.port(), serialOf(8));
    ASSERT_TRUE(watchedByOther.report({Tag(1)}));
    const std::string otherStatus = "tagbench/" + watchedByOther.serial() + "/status";
    ASSERT_TRUE(recorder.waitFor(has(otherStatus, "\"online\""), kDeadline));

    std::string status;
    {
        Gateway first({"--mqtt", broker.url(), "--name", "gw-again"});
        Peer peer(first.port(), serialOf(9));
        ASSERT_TRUE(peer.report({Tag(2)}));
        status = "tagbench/" + peer.serial() + "/status";
        ASSERT_TRUE(recorder.waitFor(has(status, "\"online\""), kDeadline));
        EXPECT_EQ(first.stop(SIGKILL).status, -1);
    }
    Gateway again({"--mqtt", broker.url(), "--name", "gw-again"});
    ASSERT_TRUE(recorder.waitFor(has(status, "\"offline\""), kDeadline));

    MqttRecorder later(broker.port(), {status, otherStatus});
    ASSERT_TRUE(later.waitFor(atLeast(2, "/status"), kDeadline));
    for (const Received &message : later.messages()) {
        EXPECT_TRUE(message.retained) << message.topic;
        const bool online = message.payload.find("\"online\"") != std::string::npos;
        EXPECT_EQ(online, message.topic == otherStatus) << message.topic << message.payload;
    }
    EXPECT_EQ(again.stop().status, 0);
}

std::set<std::string> epcsOf(const std::vector<Received> &messages) {
    static const std::regex epc(R"re("epc":"([0-9A-F]+)")re");
    std::set<std::string> epcs;
    for (const Received &message : messages) {
        std::smatch match;
        if (std::regex_search(message.payload, match, epc)) epcs.insert(match[1].str());
    }
    return epcs;
}

// The broker is stopped and started again; the gateway reaches it through a relay that
// stays cut until the test's subscriber is back, so the subscriber (whose session a broker
// restart does not keep) sees everything the gateway delivers after the restart.
TEST(GatewayTest, BrokerRestartLosesNothingAtQos1) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    TcpCut relay(broker.port());
    auto before =
        std::make_unique<MqttRecorder>(broker.port(), std::vector<std::string>{"tagbench/+/tags"});
    ASSERT_TRUE(before->waitSubscribed(kDeadline));
    Gateway gateway(
        {"--mqtt", relay.url(), "--stdout", "--name", "gwr", "--stats-interval", "0.2"});
    Peer peer(gateway.port(), serialOf(7));
    std::uint32_t number = 0;
    const auto sendReports = [&](int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(peer.report({{number++}}));
    };
    sendReports(10);
    ASSERT_TRUE(before->waitFor(atLeast(10, "/tags"), kDeadline));
    const std::set<std::string> first = epcsOf(before->messages());
    before.reset();
    relay.cut();
    broker.stop();
    sendReports(40);  // while the broker is away
    ASSERT_TRUE(gateway.waitForLines(50));
    ASSERT_TRUE(broker.start());
    MqttRecorder after(broker.port(), {"tagbench/#"});
    ASSERT_TRUE(after.waitSubscribed(kDeadline));
    relay.restore();
    sendReports(10);
    // At least once: one that was in flight when the connection broke may come twice.
    const auto everyReport = [&](const std::vector<Received> &messages) {
        std::set<std::string> all = first;
        for (const std::string &epc : epcsOf(messages)) all.insert(epc);
        return all.size() == 60;
    };
    EXPECT_TRUE(after.waitFor(everyReport, kDeadline));
    // Retained statuses are published again after the reconnect.
    EXPECT_TRUE(after.waitFor(has("tagbench/gateway/gwr/status", "\"online\""), kDeadline));
    EXPECT_TRUE(
        after.waitFor(has("tagbench/" + peer.serial() + "/status", "\"online\""), kDeadline));
    EXPECT_TRUE(after.waitFor(
        has("tagbench/gateway/gwr/stats", "\"published\":60,\"dropped\":0,\"queued\":0"),
        kDeadline));
}

TEST(GatewayTest, QueueOverflowDropsTheOldestAndCountsThem) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    TcpCut relay(broker.port());
    relay.cut();  // the broker out of reach from the start
    Gateway gateway({"--mqtt", relay.url(), "--stdout", "--queue-limit", "5", "--name", "gwq",
                     "--stats-interval", "0.2"});
    Peer peer(gateway.port(), serialOf(8));
    // One at a time, so stdout has each before the bound (shared by the outputs) is reached.
    for (std::uint32_t number = 0; number < 12; ++number) {
        ASSERT_TRUE(peer.report({{number}}));
        ASSERT_TRUE(gateway.waitForLines(number + 1));
    }
    MqttRecorder subscriber(broker.port(), {"tagbench/#"});
    ASSERT_TRUE(subscriber.waitSubscribed(kDeadline));
    relay.restore();
    ASSERT_TRUE(subscriber.waitFor(
        has("tagbench/gateway/gwq/stats", "\"published\":5,\"dropped\":7,\"queued\":0"),
        kDeadline));
    std::set<std::string> newest;
    for (std::uint32_t number = 7; number < 12; ++number) newest.insert(hex(epcOf(number)));
    EXPECT_EQ(epcsOf(subscriber.on("/tags")), newest);
}

TEST(GatewayTest, ReportIntervalSendsTheFirstSightingAndThenCounts) {
    const struct {
        const char *interval;
        bool fromConfigFile;
        bool stopBeforeChecking;   // the pending count goes out at shutdown
        std::vector<long> counts;  // of tag 1, in order; empty: only their sum is known
    } cases[] = {{"3600", true, true, {1, 9}}, {"0.3", false, false, {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.interval);
        const auto config = std::filesystem::temp_directory_path() /
                            ("tagbench-gateway-test-" + std::to_string(::getpid()) + ".conf");
        std::ofstream(config) << "stdout = true\nreport-interval = " << c.interval << "\n";
        Gateway gateway(c.fromConfigFile ? std::vector<std::string>{"--config", config.string()}
                                         : std::vector<std::string>{"--stdout", "--report-interval",
                                                                    c.interval});
        Peer peer(gateway.port(), serialOf(9));
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(peer.report({{1}}));
        ASSERT_TRUE(peer.report({{2}}));
        const auto countsOfTag1 = [](const std::vector<std::string> &lines) {
            static const std::regex count(R"re("count":(\d+))re");
            std::vector<long> counts;
            for (const std::string &line : lines) {
                std::smatch match;
                if (line.find(hex(epcOf(1))) != std::string::npos &&
                    std::regex_search(line, match, count)) {
                    counts.push_back(std::stol(match[1].str()));
                }
            }
            return counts;
        };
        const auto sum = [](const std::vector<long> &counts) {
            long total = 0;
            for (const long count : counts) total += count;
            return total;
        };
        std::vector<std::string> lines;
        if (c.stopBeforeChecking) {
            ASSERT_TRUE(gateway.waitForLines(2));  // the first sightings of both tags
            lines = linesOf(gateway.stop().out);
        } else {
            ASSERT_TRUE(gateway.process().waitFor(
                [&](const Finished &sofar) { return sum(countsOfTag1(linesOf(sofar.out))) == 10; },
                kDeadline));
            lines = gateway.lines();
        }
        const std::vector<long> counts = countsOfTag1(lines);
        EXPECT_EQ(sum(counts), 10);
        ASSERT_FALSE(counts.empty());
        EXPECT_EQ(counts.front(), 1);
        if (!c.counts.empty()) {
            EXPECT_EQ(counts, c.counts);
        }
        EXPECT_EQ(withoutTime(lines.at(0)), expectedMessage(peer.serial(), {1}, 1));
        std::filesystem::remove(config);
    }
}

TEST(GatewayTest, HttpBatchesArriveInOrderAfterFailures) {
    for (const int failures : {0, 3}) {
        SCOPED_TRACE(failures);
        HttpEndpoint endpoint(failures);
        Gateway gateway({"--http", endpoint.url(), "--batch", "4", "--linger", "100"});
        Peer peer(gateway.port(), serialOf(10));
        std::vector<std::string> expected;
        for (std::uint32_t number = 0; number < 10; ++number) {
            ASSERT_TRUE(peer.report({{number}}));
            expected.push_back(expectedMessage(peer.serial(), {number}));
        }
        const auto messagesOf = [](const std::vector<Post> &posts) {
            std::vector<std::string> messages;
            for (const Post &post : posts) {
                // Messages hold no nested objects: "},{" separates them.
                std::string body = post.body.substr(1, post.body.size() - 2);
                for (std::size_t start = 0, end; start < body.size(); start = end + 1) {
                    end = body.find("},{", start);
                    end = end == std::string::npos ? body.size() : end + 1;
                    messages.push_back(withoutTime(body.substr(start, end - start)));
                }
            }
            return messages;
        };
        ASSERT_TRUE(endpoint.waitFor(
            [&](const std::vector<Post> &posts) { return messagesOf(posts).size() >= 10; },
            kDeadline));
        EXPECT_EQ(messagesOf(endpoint.accepted()), expected);
        EXPECT_EQ(endpoint.refused(), failures);
        for (const Post &post : endpoint.accepted()) {
            EXPECT_EQ(post.contentType, "application/json");
            EXPECT_EQ(post.body.front(), '[');
            EXPECT_EQ(post.body.back(), ']');
            EXPECT_LE(std::count(post.body.begin(), post.body.end(), '{'), 4);
        }
        EXPECT_EQ(gateway.stop().status, 0);
    }
}

TEST(GatewayTest, LogFileIsReopenedOnSighup) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tagbench-gateway-log-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto log = folder / "gateway.log", rotated = folder / "gateway.log.1";
    ChildProcess gateway(TAGBENCH_GATEWAY_PATH,
                         {"--stdout", "--listen", "127.0.0.1:0", "--log", log.string()},
                         testsupport::childEnvironment({}));
    const auto logSays = [](const std::filesystem::path &path, const std::string &text) {
        std::ifstream file(path);
        const std::string content((std::istreambuf_iterator<char>(file)), {});
        return content.find(text) != std::string::npos;
    };
    const auto waitUntil = [&](const std::function<bool()> &done) {
        return gateway.waitFor([&](const Finished &) { return done(); }, kDeadline);
    };
    ASSERT_TRUE(waitUntil([&] { return logSays(log, "listening on"); }));
    std::filesystem::rename(log, rotated);
    gateway.signal(SIGHUP);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(log); }));
    gateway.signal(SIGTERM);
    const Finished finished = gateway.finish(kDeadline);
    EXPECT_EQ(finished.status, 0);
    EXPECT_TRUE(logSays(log, "stopping"));
    EXPECT_FALSE(logSays(rotated, "stopping"));
    std::filesystem::remove_all(folder);
}

TEST(GatewayTest, GarbagePeerIsDroppedWithoutDisturbingOthers) {
    Gateway gateway({"--stdout"});
    Peer good(gateway.port(), serialOf(11));
    Peer garbage(gateway.port(), serialOf(12));
    ASSERT_TRUE(good.report({{1}}));
    ASSERT_TRUE(gateway.waitForLines(1));
    // A valid frame that is no report is counted and ignored; then bytes without any frame.
    garbage.sendRaw(testsupport::responseFrame(0x21, {1, 2, 3}));
    garbage.sendRaw(Bytes(70000, 0x00));
    EXPECT_TRUE(garbage.closedByGateway());
    EXPECT_TRUE(gateway.waitForLog("without a valid frame"));
    ASSERT_TRUE(good.report({{2}}));
    ASSERT_TRUE(gateway.waitForLines(2));
    const std::vector<std::string> lines = gateway.lines();
    EXPECT_EQ(withoutTime(lines.at(0)), expectedMessage(good.serial(), {1}));
    EXPECT_EQ(withoutTime(lines.at(1)), expectedMessage(good.serial(), {2}));
}

TEST(GatewayTest, SharedSubscriptionSplitsTheMessagesBetweenConsumers) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttRecorder first(broker.port(), {"$share/g/tagbench/+/tags"});
    MqttRecorder second(broker.port(), {"$share/g/tagbench/+/tags"});
    ASSERT_TRUE(first.waitSubscribed(kDeadline));
    ASSERT_TRUE(second.waitSubscribed(kDeadline));
    Gateway gateway({"--mqtt", broker.url()});
    Peer peer(gateway.port(), serialOf(13));
    constexpr std::uint32_t kMessages = 40;
    for (std::uint32_t number = 0; number < kMessages; ++number) {
        ASSERT_TRUE(peer.report({{number}}));
    }
    const auto both = [&] {
        std::set<std::string> all = epcsOf(first.messages());
        const std::set<std::string> more = epcsOf(second.messages());
        all.insert(more.begin(), more.end());
        return all.size();
    };
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (both() < kMessages && std::chrono::steady_clock::now() < end) {
        first.waitFor(atLeast(first.messages().size() + 1, "/tags"), std::chrono::seconds(1));
    }
    const std::set<std::string> a = epcsOf(first.messages()), b = epcsOf(second.messages());
    EXPECT_EQ(both(), kMessages);
    EXPECT_FALSE(a.empty());
    EXPECT_FALSE(b.empty());
    std::vector<std::string> common;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(common));
    EXPECT_TRUE(common.empty());
    EXPECT_EQ(a.size() + b.size(), kMessages);
}

TEST(GatewayTest, OpenedReaderDeliversReportsOrInventoriesAndItsStatus) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    for (const bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "poll" : "active");
        readersim::ReaderOptions options;
        options.tagCount = 12;  // tags 10 and 12 of the virtual field are SGTIN-96 EPCs
        readersim::VirtualReader reader(options);
        const std::uint16_t port = reader.serveTcp();
        if (!poll) reader.startActive(std::chrono::milliseconds(50), 2);
        MqttRecorder recorder(broker.port(), {"tagbench/#"});
        ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
        std::vector<std::string> arguments = {"--mqtt", broker.url(), "--reader",
                                              "tcp://127.0.0.1:" + std::to_string(port)};
        if (poll) arguments.insert(arguments.end(), {"--poll", "50"});
        Gateway gateway(arguments, false);
        ASSERT_TRUE(recorder.waitFor(atLeast(5, "/tags"), kDeadline));
        const std::string serial = readerOf(recorder.on("/tags").front().payload);
        ASSERT_EQ(serial.size(), 14u);
        const std::string status = "tagbench/" + serial + "/status";
        EXPECT_TRUE(recorder.waitFor(has(status, "\"online\""), kDeadline));
        EXPECT_TRUE(
            recorder.waitFor(has("tagbench/" + serial + "/tags",
                                 R"("uri":"urn:epc:id:sgtin:0614141.812345.10","antenna":)"),
                             kDeadline));
        reader.unplug();
        EXPECT_TRUE(recorder.waitFor(has(status, "\"offline\""), kDeadline));
        reader.replug();
        EXPECT_TRUE(recorder.waitFor(
            [&](const std::vector<Received> &messages) {
                return std::count_if(messages.begin(), messages.end(), [&](const Received &m) {
                           return m.topic == status &&
                                  m.payload.find("\"online\"") != std::string::npos;
                       }) >= 2;
            },
            kDeadline));
        EXPECT_EQ(gateway.stop().status, 0);
    }
}

// Every EPC in a message, a single sighting or a batch, in order.
std::vector<std::uint32_t> numbersIn(const std::string &payload) {
    static const std::regex epc(R"re("epc":"E28011600000000([0-9A-F]{9})")re");
    std::vector<std::uint32_t> numbers;
    for (auto match = std::sregex_iterator(payload.begin(), payload.end(), epc);
         match != std::sregex_iterator(); ++match) {
        numbers.push_back(std::uint32_t(std::stoul((*match)[1].str(), nullptr, 16)));
    }
    return numbers;
}

std::size_t sightingsIn(const std::vector<Received> &messages) {
    std::size_t count = 0;
    for (const Received &message : messages) count += numbersIn(message.payload).size();
    return count;
}

// A temporary spool folder.
class SpoolFolder {
  public:
    SpoolFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("tagbench-gateway-spool-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter_++))) {
        std::filesystem::remove_all(path_);
    }
    ~SpoolFolder() { std::filesystem::remove_all(path_); }
    std::string path() const { return path_.string(); }

  private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

TEST(GatewayTest, PartialBatchesLeaveAfterTheirLinger) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttRecorder recorder(broker.port(), {"tagbench/+/tags"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    HttpEndpoint endpoint;
    Gateway gateway({"--http", endpoint.url(), "--batch", "100", "--linger", "1000", "--mqtt",
                     broker.url(), "--mqtt-batch", "100", "--mqtt-linger", "1000"});
    Peer peer(gateway.port(), serialOf(20));
    const auto postedSightings = [](const std::vector<Post> &posts) {
        std::size_t count = 0;
        for (const Post &post : posts) count += numbersIn(post.body).size();
        return count;
    };
    const auto report = [&](std::uint32_t first, std::uint32_t count) {
        std::vector<Tag> tags;
        for (std::uint32_t n = first; n < first + count; ++n) tags.push_back({n});
        return peer.report(tags);
    };
    // Six sightings together: one POST and one MQTT message, though neither batch is full.
    ASSERT_TRUE(report(0, 6));
    ASSERT_TRUE(endpoint.waitFor([&](const auto &posts) { return postedSightings(posts) >= 6; },
                                 kDeadline));
    ASSERT_TRUE(recorder.waitFor([](const auto &m) { return sightingsIn(m) >= 6; }, kDeadline));
    ASSERT_EQ(endpoint.accepted().size(), 1u);
    EXPECT_EQ(numbersIn(endpoint.accepted().front().body),
              (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(recorder.on("/tags").size(), 1u);
    const std::string batch = recorder.on("/tags").front().payload;
    EXPECT_TRUE(batch.starts_with(R"({"v":1,"reader":")" + peer.serial() + R"(","tags":[{"v":1,)"))
        << batch;
    EXPECT_EQ(numbersIn(batch), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    // A burst that fills the batches, then a lone sighting: it is not held back.
    for (std::uint32_t first = 100; first < 200; first += 5) ASSERT_TRUE(report(first, 5));
    ASSERT_TRUE(report(500, 1));
    EXPECT_TRUE(endpoint.waitFor([&](const auto &posts) { return postedSightings(posts) >= 107; },
                                 kDeadline));
    EXPECT_TRUE(recorder.waitFor([](const auto &m) { return sightingsIn(m) >= 107; }, kDeadline));
    EXPECT_EQ(numbersIn(recorder.on("/tags").back().payload).back(), 500u);
}

// The broker out of reach: SIGTERM ends the gateway (status 0) with its messages in the
// spool; started again with the broker back, they arrive.
TEST(GatewayTest, StopWithTheBrokerAwayKeepsTheMessagesForTheNextStart) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    TcpCut relay(broker.port());
    relay.cut();
    MqttRecorder recorder(broker.port(), {"tagbench/+/tags"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    SpoolFolder spool;
    const std::vector<std::string> arguments = {"--mqtt",   relay.url(), "--spool", spool.path(),
                                                "--stdout", "--name",    "gw-spool"};
    {
        Gateway gateway(arguments);
        Peer peer(gateway.port(), serialOf(21));
        for (std::uint32_t number = 0; number < 5; ++number) ASSERT_TRUE(peer.report({{number}}));
        ASSERT_TRUE(gateway.waitForLines(5));
        const auto asked = std::chrono::steady_clock::now();
        const Finished finished = gateway.stop();
        EXPECT_EQ(finished.status, 0) << finished.err;
        EXPECT_NE(finished.err.find("MQTT: 5 messages not delivered"), std::string::npos);
        std::printf("stopped %lld ms after SIGTERM\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - asked)
                                               .count()));
    }
    relay.restore();
    Gateway again(arguments);
    ASSERT_TRUE(recorder.waitFor([](const auto &m) { return sightingsIn(m) >= 5; }, kDeadline));
    std::vector<std::uint32_t> arrived;
    for (const Received &message : recorder.on("/tags"))
        arrived.push_back(numbersIn(message.payload).at(0));
    EXPECT_EQ(arrived, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(again.waitForLog("5 messages from the last run"));
}

// During a broker outage thousands of sightings wait in the spool; the gateway is killed
// (-9) in the middle and started again; once the broker is back a subscriber that stayed
// gets every sighting, in order per reader (at least once: duplicates are counted).
TEST(GatewayTest, KillDuringAnOutageLosesNothing) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    TcpCut relay(broker.port());
    MqttRecorder recorder(broker.port(), {"tagbench/+/tags"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    relay.cut();
    SpoolFolder spool;
    const std::vector<std::string> arguments = {"--mqtt",     relay.url(),     "--spool",
                                                spool.path(), "--stdout",      "--mqtt-batch",
                                                "10",         "--mqtt-linger", "20"};
    constexpr int kReaders = 4, kReportsPerRun = 150, kTagsPerReport = 3;
    std::uint32_t next[kReaders] = {};
    const auto sendRun = [&](Gateway &gateway) {
        std::vector<Peer> peers;
        for (int r = 0; r < kReaders; ++r) peers.emplace_back(gateway.port(), serialOf(30 + r));
        for (int k = 0; k < kReportsPerRun; ++k) {
            for (int r = 0; r < kReaders; ++r) {
                std::vector<Tag> tags;
                for (int t = 0; t < kTagsPerReport; ++t) tags.push_back({next[r]++});
                ASSERT_TRUE(peers[r].report(tags));
            }
        }
    };
    constexpr std::size_t kPerRun = kReaders * kReportsPerRun * kTagsPerReport;
    {
        Gateway first(arguments);
        sendRun(first);
        // On stdout means in the spool: nothing leaves before its group commit.
        ASSERT_TRUE(first.waitForLines(kPerRun));
        EXPECT_EQ(first.stop(SIGKILL).status, -1);
    }
    Gateway second(arguments);
    sendRun(second);
    ASSERT_TRUE(second.waitForLines(kPerRun));
    relay.restore();
    std::map<std::string, std::vector<std::uint32_t>> byReader;
    const auto everySighting = [&](const std::vector<Received> &messages) {
        byReader.clear();
        for (const Received &message : messages) {
            for (const std::uint32_t n : numbersIn(message.payload)) {
                byReader[readerOf(message.payload)].push_back(n);
            }
        }
        std::size_t distinct = 0;
        for (const auto &[reader, numbers] : byReader) {
            distinct += std::set(numbers.begin(), numbers.end()).size();
        }
        return distinct == 2 * kPerRun;
    };
    ASSERT_TRUE(recorder.waitFor(everySighting, kDeadline));
    everySighting(recorder.on("/tags"));
    ASSERT_EQ(byReader.size(), std::size_t(kReaders));
    std::size_t duplicates = 0;
    for (const auto &[reader, numbers] : byReader) {
        SCOPED_TRACE(reader);
        // The first time each sighting arrives is in the order it was seen.
        std::vector<std::uint32_t> firstTimes;
        std::set<std::uint32_t> seen;
        for (const std::uint32_t n : numbers) {
            if (seen.insert(n).second) firstTimes.push_back(n);
        }
        EXPECT_TRUE(std::is_sorted(firstTimes.begin(), firstTimes.end()));
        duplicates += numbers.size() - firstTimes.size();
    }
    std::printf("%zu sightings, %zu duplicates\n", 2 * kPerRun, duplicates);
}

// One HTTP GET on loopback: the status and the body; status 0 when no answer came.
std::pair<int, std::string> httpGet(std::uint16_t port, const std::string &path) {
    const LoopbackSocket socket = LoopbackSocket::connectedTo(port);
    const std::string request = "GET " + path +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Connection: close\r\n\r\n";
    if (!socket.valid() ||
        !socket.sendAll(reinterpret_cast<const std::uint8_t *>(request.data()), request.size())) {
        return {0, {}};
    }
    timeval timeout{10, 0};
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(socket.fd(), buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, std::size_t(got));
    }
    static const std::regex status(R"re(^HTTP/1\.[01] (\d{3}))re");
    std::smatch match;
    if (!std::regex_search(answer, match, status)) return {0, {}};
    const auto body = answer.find("\r\n\r\n");
    return {std::stoi(match[1].str()), body == std::string::npos ? "" : answer.substr(body + 4)};
}

// Waits until `done` holds for GET path's answer.
bool waitForGet(std::uint16_t port, const std::string &path,
                const std::function<bool(int, const std::string &)> &done) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < end) {
        const auto [status, body] = httpGet(port, path);
        if (done(status, body)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // polling, not waiting
    }
    return false;
}

std::uint16_t metricsPort(Gateway &gateway) {
    static const std::regex metrics(R"re(metrics on http://127\.0\.0\.1:(\d+)/metrics)re");
    std::uint16_t port = 0;
    gateway.process().waitFor(
        [&](const Finished &sofar) {
            std::smatch match;
            if (!std::regex_search(sofar.err, match, metrics)) return false;
            port = static_cast<std::uint16_t>(std::stoi(match[1].str()));
            return true;
        },
        kDeadline);
    return port;
}

// Past one machine: two gateways publish to one broker, a second broker bridges their
// topics (a real bridge connection in its configuration), and two consumers share a
// subscription there. Every sighting arrives, in order per reader at each consumer.
TEST(GatewayTest, BridgedBrokersAndSharedSubscriptionCarryEverySighting) {
    Broker first;
    ASSERT_TRUE(first.start());
    Broker second("connection gateways\naddress 127.0.0.1:" + std::to_string(first.port()) +
                  "\ntopic tagbench/# in 1\ncleansession true\nrestart_timeout 1\n");
    ASSERT_TRUE(second.start());
    MqttRecorder consumerA(second.port(), {"$share/consumers/tagbench/+/tags"});
    MqttRecorder consumerB(second.port(), {"$share/consumers/tagbench/+/tags"});
    MqttRecorder probe(second.port(), {"tagbench/probe/tags"});
    ASSERT_TRUE(consumerA.waitSubscribed(kDeadline));
    ASSERT_TRUE(consumerB.waitSubscribed(kDeadline));
    ASSERT_TRUE(probe.waitSubscribed(kDeadline));
    // The bridge is up once a message published on the first broker reaches the second.
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    bool bridged = false;
    while (!bridged && std::chrono::steady_clock::now() < end) {
        ChildProcess("/usr/bin/mosquitto_pub",
                     {"-p", std::to_string(first.port()), "-t", "tagbench/probe/tags", "-m", "{}",
                      "-q", "1"},
                     testsupport::childEnvironment({}))
            .finish(kDeadline);
        bridged = probe.waitFor(atLeast(1, "/tags"), std::chrono::seconds(1));
    }
    ASSERT_TRUE(bridged);

    Gateway east(
        {"--mqtt", first.url(), "--name", "east", "--mqtt-batch", "5", "--mqtt-linger", "20"});
    Gateway west({"--mqtt", first.url(), "--name", "west"});
    std::vector<Peer> peers;
    for (int r = 0; r < 4; ++r) peers.emplace_back((r < 2 ? east : west).port(), serialOf(50 + r));
    constexpr std::uint32_t kPerReader = 100;
    for (std::uint32_t n = 0; n < kPerReader; ++n) {
        for (Peer &peer : peers) ASSERT_TRUE(peer.report({{n}}));
    }
    const auto distinct = [&] {
        std::set<std::pair<std::string, std::uint32_t>> all;
        for (MqttRecorder *consumer : {&consumerA, &consumerB}) {
            for (const Received &message : consumer->on("/tags")) {
                for (const std::uint32_t n : numbersIn(message.payload)) {
                    all.insert({readerOf(message.payload), n});
                }
            }
        }
        return all.size();
    };
    const auto total = std::size_t(kPerReader) * peers.size();
    const auto until = std::chrono::steady_clock::now() + kDeadline;
    while (distinct() < total && std::chrono::steady_clock::now() < until) {
        consumerA.waitFor(atLeast(consumerA.on("/tags").size() + 1, "/tags"),
                          std::chrono::seconds(1));
    }
    EXPECT_EQ(distinct(), total);
    for (MqttRecorder *consumer : {&consumerA, &consumerB}) {
        std::map<std::string, std::vector<std::uint32_t>> byReader;
        for (const Received &message : consumer->on("/tags")) {
            for (const std::uint32_t n : numbersIn(message.payload)) {
                byReader[readerOf(message.payload)].push_back(n);
            }
        }
        EXPECT_FALSE(byReader.empty());
        for (const auto &[reader, numbers] : byReader) {
            SCOPED_TRACE(reader);
            EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
        }
    }
}

// /metrics passes promtool and a real Prometheus scrapes the received counter; /healthz
// follows the broker.
TEST(GatewayTest, MetricsAreScrapedAndHealthFollowsTheBroker) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    MqttRecorder recorder(broker.port(), {"tagbench/+/tags"});
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    Gateway gateway({"--mqtt", broker.url(), "--metrics", "127.0.0.1:0", "--name", "gw-metrics"});
    const std::uint16_t port = metricsPort(gateway);
    ASSERT_NE(port, 0);
    Peer peer(gateway.port(), serialOf(40));
    constexpr int kSightings = 25;
    for (std::uint32_t number = 0; number < kSightings; ++number) {
        ASSERT_TRUE(peer.report({{number}}));
    }
    ASSERT_TRUE(recorder.waitFor(atLeast(kSightings, "/tags"), kDeadline));
    // Acknowledged by the broker, too.
    const std::string published = "tagbench_gateway_messages_published_total{output=\"mqtt\"} " +
                                  std::to_string(kSightings) + "\n";
    ASSERT_TRUE(waitForGet(port, "/metrics", [&](int status, const std::string &body) {
        return status == 200 && body.find(published) != std::string::npos;
    }));
    const auto [status, text] = httpGet(port, "/metrics");
    for (const char *expected :
         {"tagbench_gateway_messages_received_total 25", "tagbench_gateway_readers_online 1",
          "tagbench_gateway_delivery_latency_seconds_count{output=\"mqtt\"} 25"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tagbench-gateway-metrics-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "metrics.txt") << text;
    ChildProcess promtool("/bin/sh",
                          {"-c", "promtool check metrics < " + (folder / "metrics.txt").string()},
                          testsupport::childEnvironment({}));
    const Finished checked = promtool.finish(kDeadline);
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;

    if (std::filesystem::exists("/usr/bin/prometheus")) {
        const std::uint16_t prometheusPort = freePort();
        std::ofstream(folder / "prometheus.yml")
            << "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: gateway\n"
            << "    static_configs:\n      - targets: ['127.0.0.1:" << port << "']\n";
        ChildProcess prometheus(
            "/usr/bin/prometheus",
            {"--config.file=" + (folder / "prometheus.yml").string(),
             "--storage.tsdb.path=" + (folder / "data").string(),
             "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort)},
            testsupport::childEnvironment({}));
        EXPECT_TRUE(waitForGet(
            prometheusPort, "/api/v1/query?query=tagbench_gateway_messages_received_total",
            [&](int answer, const std::string &body) {
                return answer == 200 &&
                       body.find("\"" + std::to_string(kSightings) + "\"]") != std::string::npos;
            }));
        prometheus.signal(SIGTERM);
        prometheus.finish(kDeadline);
    } else {
        std::printf("prometheus is not installed: the scrape by a server is not checked\n");
    }
    std::filesystem::remove_all(folder);

    EXPECT_EQ(httpGet(port, "/healthz").first, 200);
    broker.stop();
    EXPECT_TRUE(waitForGet(port, "/healthz", [](int answer, const std::string &body) {
        return answer == 503 && body.find("MQTT broker") != std::string::npos;
    }));
    ASSERT_TRUE(broker.start());
    EXPECT_TRUE(waitForGet(port, "/healthz",
                           [](int answer, const std::string &) { return answer == 200; }));
}

void writeFile(const std::filesystem::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A broker password, an HTTP bearer token and HTTP basic credentials, each from the file its
// option names or from systemd's credentials folder (every file ends in a line end, one in
// CR LF): they reach the peers and never the log or /metrics. A wrong password is reported
// and makes the gateway unhealthy; a file option wins over a credential.
TEST(GatewayTest, SecretsFromFilesOrCredentialsReachThePeersAndNeverTheLog) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tagbench-gateway-secrets-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string password = "S3cret-mqtt", wrong = "Wr0ng-mqtt", token = "t0ken-http",
                      credentials = "ann:pa55 http";
    writeFile(folder / "mqtt-password", password + "\n");
    writeFile(folder / "mqtt-wrong", wrong + "\n");
    writeFile(folder / "http-token", token + "\r\n");
    writeFile(folder / "http-credentials", credentials + "\n");
    const Login tester{"tester", "tester-pw"};
    writeFile(folder / "passwords",
              "gateway:" + password + "\n" + tester.user + ":" + tester.password + "\n");
    ChildProcess hash("/usr/bin/mosquitto_passwd", {"-U", (folder / "passwords").string()},
                      testsupport::childEnvironment({}));
    ASSERT_EQ(hash.finish(kDeadline).status, 0);
    // The broker may read it after giving up root.
    std::filesystem::permissions(folder / "passwords", std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::group_read |
                                                           std::filesystem::perms::others_read);

    Broker broker("password_file " + (folder / "passwords").string() + "\n", false);
    ASSERT_TRUE(broker.start());
    MqttRecorder recorder(broker.port(), {"tagbench/+/tags"}, 1, tester);
    ASSERT_TRUE(recorder.waitSubscribed(kDeadline));
    HttpEndpoint endpoint;
    const std::string mqtt = "mqtt://gateway@127.0.0.1:" + std::to_string(broker.port());
    const auto file = [&](const char *name) { return (folder / name).string(); };

    enum class Expect { Published, Refused, Bearer, Basic };
    const struct {
        std::vector<std::string> arguments;
        std::vector<const char *> credentials;  // files of `folder` in the credentials folder
        Expect expect;
    } cases[] = {
        {{"--mqtt", mqtt, "--mqtt-password-file", file("mqtt-password")}, {}, Expect::Published},
        {{"--mqtt", mqtt, "--mqtt-password-file", file("mqtt-wrong")}, {}, Expect::Refused},
        {{"--mqtt", mqtt}, {"mqtt-password"}, Expect::Published},
        {{"--mqtt", mqtt, "--mqtt-password-file", file("mqtt-wrong")},
         {"mqtt-password"},
         Expect::Refused},
        {{"--http", endpoint.url(), "--http-token-file", file("http-token")}, {}, Expect::Bearer},
        {{"--http", endpoint.url(), "--http-credentials-file", file("http-credentials")},
         {},
         Expect::Basic},
        {{"--http", endpoint.url()}, {"http-token"}, Expect::Bearer},
        {{"--http", endpoint.url()}, {"http-credentials"}, Expect::Basic},
    };
    std::uint32_t number = 0;
    for (const auto &c : cases) {
        ++number;
        SCOPED_TRACE(number);
        const auto credentialsFolder = folder / ("credentials-" + std::to_string(number));
        std::filesystem::create_directories(credentialsFolder);
        for (const char *name : c.credentials) {
            std::filesystem::copy_file(folder / name, credentialsFolder / name);
        }
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"--metrics", "127.0.0.1:0", "--name",
                                           "gw-secret-" + std::to_string(number)});
        Gateway gateway(arguments, true, {"CREDENTIALS_DIRECTORY=" + credentialsFolder.string()});
        const std::uint16_t port = metricsPort(gateway);
        Peer peer(gateway.port(), serialOf(int(20 + number)));
        ASSERT_TRUE(peer.report({Tag(number)}));
        const std::string epc = hex(epcOf(number));
        const auto postOf = [&](const std::vector<Post> &posts) {
            return std::find_if(posts.begin(), posts.end(), [&](const Post &post) {
                return post.body.find(epc) != std::string::npos;
            });
        };
        switch (c.expect) {
            case Expect::Published:
                EXPECT_TRUE(
                    recorder.waitFor(has("tagbench/" + peer.serial() + "/tags", epc), kDeadline));
                break;
            case Expect::Refused:
                EXPECT_TRUE(gateway.waitForLog("refused the connection"));
                EXPECT_TRUE(waitForGet(port, "/healthz", [](int answer, const std::string &body) {
                    return answer == 503 && body.find("MQTT broker") != std::string::npos;
                }));
                break;
            case Expect::Bearer:
            case Expect::Basic: {
                ASSERT_TRUE(endpoint.waitFor(
                    [&](const std::vector<Post> &posts) { return postOf(posts) != posts.end(); },
                    kDeadline));
                const auto posts = endpoint.accepted();
                // "ann:pa55 http" in base 64.
                EXPECT_EQ(postOf(posts)->authorization, c.expect == Expect::Bearer
                                                            ? "Bearer " + token
                                                            : "Basic YW5uOnBhNTUgaHR0cA==");
                break;
            }
        }
        const std::string metrics = httpGet(port, "/metrics").second;
        EXPECT_NE(metrics.find("tagbench_gateway"), std::string::npos);
        const Finished finished = gateway.stop();
        for (const std::string &secret : {password, wrong, token, std::string("pa55 http")}) {
            EXPECT_EQ(finished.err.find(secret), std::string::npos) << finished.err;
            EXPECT_EQ(finished.out.find(secret), std::string::npos);
            EXPECT_EQ(metrics.find(secret), std::string::npos);
        }
    }
    EXPECT_EQ(recorder.on("/tags").size(), 2u);  // never with a wrong password
    std::filesystem::remove_all(folder);
}

// A secret's file that is missing or cannot be read as a file (a folder, even for root)
// stops the start with one line naming the option or credential and the file.
TEST(GatewayTest, UnreadableSecretStopsTheStartNamingItsSourceAndFile) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tagbench-gateway-unreadable-" + std::to_string(::getpid()));
    const auto credentials = folder / "credentials";
    std::filesystem::create_directories(credentials / "http-credentials");
    std::filesystem::create_directories(folder / "a-folder");
    writeFile(folder / "no-colon", "t0ken-like\n");
    const std::string missing = (folder / "missing").string();
    const struct {
        std::vector<std::string> arguments;
        bool withCredentials;
        std::vector<std::string> said;
    } cases[] = {
        {{"--mqtt-password-file", missing}, false, {"--mqtt-password-file", missing}},
        {{"--http-token-file", missing}, true, {"--http-token-file", missing}},
        {{"--http-credentials-file", (folder / "a-folder").string()},
         false,
         {"--http-credentials-file", (folder / "a-folder").string()}},
        {{}, true, {"credential http-credentials", (credentials / "http-credentials").string()}},
        {{"--http-credentials-file", (folder / "no-colon").string()},
         false,
         {"--http-credentials-file: expected USER:PASSWORD"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.said.front());
        std::vector<std::string> arguments = {"--listen", "0", "--stdout"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        ChildProcess child(TAGBENCH_GATEWAY_PATH, arguments,
                           testsupport::childEnvironment(
                               {"CREDENTIALS_DIRECTORY=" +
                                (c.withCredentials ? credentials.string() : std::string())}));
        const Finished finished = child.finish(kDeadline);
        EXPECT_EQ(finished.status, 2);
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
        for (const std::string &text : c.said) {
            EXPECT_NE(finished.err.find(text), std::string::npos) << finished.err;
        }
        EXPECT_EQ(finished.err.find("t0ken-like"), std::string::npos);
        EXPECT_TRUE(finished.out.empty());
    }
    std::filesystem::remove_all(folder);
}

TEST(GatewayTest, ConfigurationWithAnUnknownKeyIsRefusedNamingItsLine) {
    const auto config = std::filesystem::temp_directory_path() /
                        ("tagbench-gateway-strict-" + std::to_string(::getpid()) + ".conf");
    const struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"stdout = true\nbogus = 1\n", ":2: unknown option \"bogus\""},
        {"# broker\n\nmqtt-url = mqtt://localhost\n", ":3: unknown option \"mqtt-url\""},
        {"listen = [\n  \"0\",\n]\nstdout = true\nqueue-limits = 5\n",
         ":5: unknown option \"queue-limits\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(config) << c.text;
        ChildProcess child(TAGBENCH_GATEWAY_PATH, {"--listen", "0", "--config", config.string()},
                           testsupport::childEnvironment({}));
        const Finished finished = child.finish(kDeadline);
        EXPECT_EQ(finished.status, 2);
        EXPECT_NE(finished.err.find(config.string() + c.error), std::string::npos) << finished.err;
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
    }
    std::filesystem::remove(config);
}

TEST(GatewayTest, UsageErrorsExitWithStatus2AndOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"--listen", "0"},                                 // no output
        {"--stdout"},                                      // no reader
        {"--listen", "0", "--mqtt", "http://host"},        // not an MQTT URL
        {"--listen", "0", "--mqtt", "mqtt://host:70000"},  // port out of range
        {"--reader", "bogus", "--stdout"},                 // not a reader address
        {"--listen", "0", "--stdout", "--qos", "2"},
        {"--listen", "0", "--stdout", "--nonsense"},
        {"--listen", "0", "--stdout", "--mqtt-batch", "0"},
    };
    for (const auto &arguments : cases) {
        SCOPED_TRACE(arguments.back());
        ChildProcess child(TAGBENCH_GATEWAY_PATH, arguments, testsupport::childEnvironment({}));
        const Finished finished = child.finish(kDeadline);
        EXPECT_EQ(finished.status, 2);
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
        EXPECT_TRUE(finished.out.empty());
    }
}

}  // namespace
