// The connection of one reader library: transport, receive and monitor threads, callbacks,
// the response slot, the reader serial number, the status byte and the tag buffer.
// Each specified library holds exactly one Link for the life of the process; the handle
// library one per open handle.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "QnReaderTypes.h"
#include "command_table.h"
#include "frame.h"
#include "link_listener.h"
#include "posix_io.h"
#include "transport.h"
#include "worker.h"

namespace qn {

using SerialNumber = std::array<uint8_t, 7>;

// A copy of the answer to one request, taken from the response slot.
class Response {
  public:
    uint16_t lengthField() const { return lengthField_; }
    // Response data bytes the frame really carries.
    size_t dataSize() const { return dataSize_; }
    // Copies `count` data bytes from data byte `offset` to `out`; bytes the frame did not
    // carry are written as 0, so a short answer never leaks older bytes.
    void copyData(size_t offset, size_t count, uint8_t *out) const;
    uint8_t dataByte(size_t index) const;
    uint16_t dataWord(size_t index) const {  // big-endian
        return static_cast<uint16_t>(dataByte(index) << 8 | dataByte(index + 1));
    }

  private:
    friend class Link;
    void assign(const uint8_t *frame, size_t frameSize);

    uint8_t frame_[kResponseSlotSize] = {};
    size_t frameSize_ = 0;
    uint16_t lengthField_ = 0;
    size_t dataSize_ = 0;
};

class Link {
  public:
    static constexpr size_t kTagBufferSize = 65536;
    static constexpr size_t kTagBufferFillLimit = 0xB800;  // 47104
    static constexpr size_t kReportHeaderSize = 8;         // serial number and tag count

    Link(Transport &transport, LinkListener &listener);
    ~Link();
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    // Opens the transport at its current target (closing an open one first) and starts the
    // threads. Returns false and keeps nothing open when the transport fails.
    bool open();
    void close();
    bool connected() const { return connected_.load(); }
    Transport &transport() { return transport_; }

    uint8_t readerAddress() const { return readerAddress_.load(); }
    void setReaderAddress(uint8_t address) { readerAddress_.store(address); }

    // One request and its answer: stores the address (serial), sends the frame, waits the
    // command's poll count, checks status, echo and address. `pauseAfterSend` delays the
    // wait (firmware block 0 needs it).
    bool transact(uint8_t address, Command command, std::span<const uint8_t> data,
                  Response &response,
                  std::chrono::milliseconds pauseAfterSend = std::chrono::milliseconds(0));

    // Every answer wait runs `percent` / 100 times the command's poll count, for slow lines
    // and loaded hosts. Accepts kMinWaitScale..kMaxWaitScale; false (and no change) otherwise.
    static constexpr int32_t kMinWaitScale = 100;
    static constexpr int32_t kMaxWaitScale = 1000;
    bool setWaitScale(int32_t percent);
    std::chrono::milliseconds answerTimeout(Command command) const;

    SerialNumber serialNumber() const;
    void setSerialNumber(const uint8_t *serial7);
    uint32_t lastReportCount() const { return lastReportCount_.load(); }

    // Tag buffer (transports with hasTagBuffer).
    uint8_t drainTagBuffer(uint8_t *records, int32_t *byteCount, int32_t *tagCount);
    bool clearTagBuffer();

  private:
    bool sendRequest(Command command, std::span<const uint8_t> data,
                     std::chrono::steady_clock::time_point deadline);
    bool takeCallerRole(std::chrono::steady_clock::time_point deadline);
    void clearResponseSlot();
    void parseReceivedInput();
    void parkFrame();
    void deliverParked();
    bool waitForResponse(Command command, std::chrono::milliseconds timeout, Response &response);
    bool awaitDelivery(std::chrono::steady_clock::time_point deadline);
    bool receiveAnswer(std::chrono::steady_clock::time_point deadline);
    bool readOwnAnswer(std::chrono::steady_clock::time_point deadline);
    bool commandsReadingAnswers() const;
    bool answerPass(std::chrono::steady_clock::time_point deadline);
    bool openLocked();
    void resetReceiveState();
    void receiveLoop(std::stop_token stop);
    std::chrono::milliseconds waitForInput(const std::stop_token &stop);
    bool receivePass(std::chrono::milliseconds wait);
    bool takeReceiveRole(const std::stop_token &stop);
    void releaseReceiveRole();
    void wakeReceiveThread();
    void monitorLoop(std::stop_token stop);
    void deliverFrames();
    void deliverFrame();
    // An answer that came before the current request is shown to the traffic callback only.
    enum class Answer { Current, Stale };
    void deliver(const uint8_t *frame, size_t size, Answer answer);
    void handleReport(const uint8_t *frame);
    void notifyLinkEvent(int32_t event);
    void notifyTraffic(int32_t value, const uint8_t *frame, size_t size, const uint8_t *serial);

    Transport &transport_;
    const TransportProfile &profile_;

    std::mutex openMutex_;       // open, close and the monitor's reopen
    std::mutex transportMutex_;  // request preparation and writes against close
    std::mutex commandMutex_;    // one command in flight
    std::atomic<bool> connected_{false};
    Worker receiveThread_;
    WakeEvent receiveWake_;  // wakes the receive thread's poll on a stop or left-over input
    Worker monitorThread_;
    std::mutex monitorWakeMutex_;
    std::condition_variable_any monitorWake_;

    LinkListener &listener_;
    std::atomic<uint8_t> readerAddress_{0xFF};
    std::atomic<int32_t> waitScalePercent_{kMinWaitScale};

    mutable std::mutex serialMutex_;
    SerialNumber serial_{};
    std::atomic<uint32_t> lastReportCount_{0};

    // The receive side (transport reads, parser, pending input) has one user at a time: the
    // receive thread, or a command waiting for its answer on a pollable transport. Such a
    // command reads its answer itself: handing it over from the receive thread cost a
    // wake-up of the caller per round trip, the larger part of a short one, and more the
    // busier the scheduler. Active reports always go to the receive thread.
    enum class Receiver { None, Thread, Caller };
    std::mutex roleMutex_;
    std::condition_variable_any roleChanged_;
    Receiver receiver_ = Receiver::None;
    std::thread::id receiverId_;
    std::atomic<int> answersAwaited_{0};
    std::atomic<int64_t> lastAnswerEnd_{0};  // steady clock ticks
    ReceiveParser parser_;
    PendingInput pending_;
    // Frames a request's preparation found already received, in order, for the receive thread
    // to deliver: reports as usual, answers (to earlier requests) to the traffic callback only.
    std::vector<uint8_t> parked_;
    std::atomic<size_t> parkedSize_{0};
    std::array<uint8_t, kResponseSlotSize> callbackBuffer_{};  // receive thread only

    std::mutex slotMutex_;
    std::condition_variable slotArrived_;
    std::array<uint8_t, kResponseSlotSize> slot_{};
    size_t slotSize_ = 0;
    std::atomic<bool> responseArrived_{false};  // written under slotMutex_

    std::mutex tagMutex_;
    std::vector<uint8_t> tagBuffer_;
    size_t tagFill_ = 0;
    uint32_t tagTotal_ = 0;
    std::atomic<uint8_t> status_{1};
};

}  // namespace qn
