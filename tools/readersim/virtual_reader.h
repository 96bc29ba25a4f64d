// The virtual reader: a reader model served over TCP, a pseudo-terminal and the HID report
// tunnel, with fault injection. Used in-process by the tests and by `tagbench --demo`, and
// by the tagbench-sim program.
//
// Every public member is thread-safe. Transports run on the reader's own threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace readersim {

class ReaderModel;  // reader_model.h

using Bytes = std::vector<uint8_t>;

struct ReaderOptions {
    std::string family = "fir";  // fir, hazel, elm, cedar, cedar2, birch, birch2, alder,
                                 // unknown, or a type byte as "0x.."
    int tagCount = 5;            // virtual tags placed in the field at start
    bool livelyField = false;    // instead: a changing field for people to watch
                                 // (lively_field.h)
    bool verbose = false;        // one log line per request and answer on stderr
    size_t requestLogLimit = 0;  // requests() keeps only this many newest frames (0: all);
                                 // long-running readers (demo, tagbench-sim) set it
};

// Faults applied to answers. Zero / false means "behave".
struct Faults {
    std::chrono::milliseconds answerDelay{0};
    int dropEveryNth = 0;  // every Nth answer is not sent
    bool badChecksum = false;
    bool failureStatus = false;           // status byte 0 instead of 1
    bool wrongEcho = false;               // command code + 1 in the answer
    std::optional<uint8_t> wrongAddress;  // answer from this address instead
    int splitChunk = 0;                   // write answers in pieces of this many bytes (0: whole)
    bool mergeFrames = false;             // hold an answer and send it together with the next one
};

class VirtualReader {
  public:
    explicit VirtualReader(ReaderOptions options = {});
    ~VirtualReader();
    VirtualReader(const VirtualReader &) = delete;
    VirtualReader &operator=(const VirtualReader &) = delete;

    // Transports. Each returns what a client needs to connect and may be called once each.
    // Port 0 picks a free loopback port.
    uint16_t serveTcp(uint16_t port = 0);
    // Opens a pseudo-terminal and returns its slave path; with a symlink path, the link
    // points at the current slave (removed while unplugged, the same path after replug).
    std::string servePty(const std::string &symlink = {});
    uint16_t serveHid(uint16_t port = 0);
    // Connects out to a server at host:port and keeps reconnecting while it is away (bounded
    // back-off): the reader as a TCP client, as networked readers in client mode are.
    void connectTo(const std::string &host, uint16_t port);

    // Unplug: the pty symlink is removed and its master closed, the TCP client and HID stream
    // are dropped and no new connection is accepted (nor made out). Replug: the transports
    // serve again (the pty behind the same symlink, TCP and HID on the same ports, connecting
    // out to the same server).
    void unplug();
    void replug();
    // Unplug now and replug after the delay, on the reader's own thread.
    void dropFor(std::chrono::milliseconds delay);
    std::string ptyPath() const;

    void setFaults(const Faults &faults);
    Faults faults() const;

    // Runs `action` on the model under the reader's lock.
    void withModel(const std::function<void(ReaderModel &)> &action);

    // Every request frame received, in order, as it came off the wire.
    std::vector<Bytes> requests() const;
    void clearRequests();
    // Blocks until `count` requests were received or the deadline passes.
    bool waitForRequests(size_t count, std::chrono::milliseconds deadline) const;

    // When set and returning a value, those bytes are sent instead of the model's answer
    // (an empty vector sends nothing). For tests that need exact bytes.
    using AnswerOverride = std::function<std::optional<Bytes>(const Bytes &request)>;
    void setAnswerOverride(AnswerOverride override);

    // Writes raw bytes to every connected transport, as if the reader sent them.
    void sendRaw(const Bytes &bytes);

    // Active mode: push 0x45 reports of `batch` tags every `period` (StartRead does this with
    // the model's settings; StopRead ends it).
    void startActive(std::chrono::microseconds period, int batch);
    // Returns once no further report goes out, so reportsSent() is then final.
    void stopActive();
    // Reports written to a connected host since the reader was made.
    uint64_t reportsSent() const;

    // HID configuration reports received on the tunnel (recognised, never parsed as
    // payload); hosts send one after every open.
    uint64_t hidConfigReports() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace readersim
