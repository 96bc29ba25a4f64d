#include "reader_handle.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "hid_transport.h"
#include "hidapi_bus.h"
#include "net_transport.h"
#include "serial_transport.h"
#include "sim_bus.h"

namespace qn::handle {

namespace {

// What this thread is inside of, innermost last: a call of a handle, or a callback of one.
enum class Inside { Call, Callback };
struct InsideEntry {
    const QnReader *reader;
    Inside kind;
};
thread_local std::vector<InsideEntry> insideStack;

int insideCount(const QnReader *reader, std::optional<Inside> kind = std::nullopt) {
    return static_cast<int>(std::count_if(insideStack.begin(), insideStack.end(), [&](auto &e) {
        return e.reader == reader && (!kind || e.kind == *kind);
    }));
}

void leaveInside(const QnReader *reader, Inside kind) {
    for (auto entry = insideStack.rbegin(); entry != insideStack.rend(); ++entry) {
        if (entry->reader == reader && entry->kind == kind) {
            insideStack.erase(std::next(entry).base());
            return;
        }
    }
}

// Every USB handle lists devices on the same buses, so that the simulated bridges one handle
// holds open are never probed by another handle's listing.
hid::HidapiBus &realBus() {
    static hid::HidapiBus bus;
    return bus;
}

hid::SimBus &simulatedBus() {
    static hid::SimBus bus;
    return bus;
}

// The host looked up once, at open: IPv4 only, as the transport connects.
std::unique_ptr<Transport> tcpTransport(const readeraddress::Tcp &tcp, std::string &reason) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int status = ::getaddrinfo(tcp.host.c_str(), nullptr, &hints, &found);
    if (status != 0 || !found) {
        reason = "cannot find host \"" + tcp.host + "\": " + ::gai_strerror(status);
        return nullptr;
    }
    Endpoint endpoint{};
    std::memcpy(&endpoint, found->ai_addr, sizeof endpoint);
    ::freeaddrinfo(found);
    endpoint.sin_port = htons(tcp.port);
    auto transport = std::make_unique<NetTransport>();
    transport->setTarget(endpoint);
    return transport;
}

std::unique_ptr<Transport> serialTransport(const readeraddress::Serial &serial) {
    auto transport = std::make_unique<SerialTransport>();
    transport->setTarget(serial.path, serial.baud);
    return transport;
}

// A USB handle is bound to its device's path, so a reopen never moves it to another reader.
std::unique_ptr<Transport> usbTransport(const readeraddress::Address &address,
                                        std::string &reason) {
    auto transport = std::make_unique<hid::HidTransport>(realBus(), simulatedBus());
    if (const auto *path = std::get_if<readeraddress::UsbPath>(&address)) {
        transport->setTargetPath(path->path);
        return transport;
    }
    const uint16_t index = std::get<readeraddress::UsbIndex>(address).index;
    const uint16_t count = transport->enumerate();
    const std::optional<std::string> path = transport->listedPath(index);
    if (!path) {
        reason = "no such device: " + std::to_string(count) + " USB reader" +
                 (count == 1 ? "" : "s") + " found";
        return nullptr;
    }
    transport->setTargetPath(*path);
    return transport;
}

std::unique_ptr<Transport> transportFor(const readeraddress::Address &address,
                                        std::string &reason) {
    if (const auto *tcp = std::get_if<readeraddress::Tcp>(&address)) {
        return tcpTransport(*tcp, reason);
    }
    if (const auto *serial = std::get_if<readeraddress::Serial>(&address)) {
        return serialTransport(*serial);
    }
    return usbTransport(address, reason);
}

std::string openFailure(int error) {
    switch (error) {
        case ETIMEDOUT:
            return "timed out";
        case ECONNREFUSED:
            return "refused";
        case ENODEV:
        case ENOENT:
            return "no such device";
        default:
            return std::strerror(error);
    }
}

}  // namespace

void HandleCallbacks::set(Channel channel, QnReaderCallback callback, void *user) {
    std::lock_guard lock(mutex_);
    slot(channel) = {callback, user};
}

bool HandleCallbacks::listening(Channel channel) const {
    std::lock_guard lock(mutex_);
    return !off_ && slot(channel).callback;
}

void HandleCallbacks::deliver(Channel channel, int32_t event, int32_t value, const uint8_t *data,
                              int32_t length, const uint8_t *serial7) {
    Slot target;
    {
        std::lock_guard lock(mutex_);
        if (off_ || !slot(channel).callback) return;
        target = slot(channel);
        ++running_;
    }
    insideStack.push_back({reader_, Inside::Callback});
    target.callback(reader_, target.user, event, value, data, length, serial7);
    leaveInside(reader_, Inside::Callback);
    // Notified under the lock: a close waiting for this may free the handle right after.
    std::lock_guard lock(mutex_);
    --running_;
    idle_.notify_all();
}

void HandleCallbacks::shutOff() {
    const int own = insideCount(reader_, Inside::Callback);
    std::unique_lock lock(mutex_);
    off_ = true;
    idle_.wait(lock, [&] { return running_ <= own; });
}

std::unique_ptr<QnReader> open(const std::string &address, std::string &reason) {
    const readeraddress::Parsed parsed = readeraddress::parse(address);
    if (!parsed.address) {
        reason = "malformed address: " + parsed.error;
        return nullptr;
    }
    std::unique_ptr<Transport> transport = transportFor(*parsed.address, reason);
    if (!transport) return nullptr;
    auto reader = std::make_unique<QnReader>(address, *parsed.address, std::move(transport));
    if (!reader->link.open()) {
        reason = openFailure(reader->transport->openError());
        return nullptr;
    }
    return reader;
}

void close(std::unique_ptr<QnReader> reader) {
    if (!reader || !reader->beginClose()) {
        (void)reader.release();  // a second close of the same handle: the first one frees it
        return;
    }
    reader->callbacks.shutOff();
    auto finish = [](std::unique_ptr<QnReader> closing) {
        closing->link.close();
        closing->waitForCalls();
    };
    if (insideCount(reader.get()) == 0) {
        finish(std::move(reader));
        return;
    }
    std::thread(finish, std::move(reader)).detach();
}

Use::Use(QnReader *reader) : reader_(reader && reader->enter() ? reader : nullptr) {
    if (reader_) insideStack.push_back({reader_, Inside::Call});
}

Use::~Use() {
    if (!reader_) return;
    leaveInside(reader_, Inside::Call);
    reader_->leave();
}

}  // namespace qn::handle

QnReader::QnReader(std::string text, readeraddress::Address parsed,
                   std::unique_ptr<qn::Transport> way)
    : address(std::move(text)),
      parsedAddress(std::move(parsed)),
      transport(std::move(way)),
      link(*transport, callbacks) {}

QnReader::~QnReader() {
    link.close();
}

bool QnReader::enter() {
    std::lock_guard lock(mutex_);
    if (closing_) return false;
    ++calls_;
    return true;
}

void QnReader::leave() {
    std::lock_guard lock(mutex_);
    --calls_;
    callsDone_.notify_all();  // under the lock: the close may free the handle right after
}

bool QnReader::beginClose() {
    std::lock_guard lock(mutex_);
    if (closing_) return false;
    closing_ = true;
    return true;
}

void QnReader::waitForCalls() {
    std::unique_lock lock(mutex_);
    callsDone_.wait(lock, [this] { return calls_ == 0; });
}
