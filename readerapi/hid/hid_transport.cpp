#include "hid_transport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

namespace qn::hid {

namespace {

constexpr TransportProfile kHidProfile{
    .kind = TransportKind::Hid,
    .settleDelay = std::chrono::milliseconds(10),
    .monitorPeriod = std::chrono::milliseconds(200),
    .readWait = std::chrono::milliseconds(5),
    .pendingCapacity = 66560,
    .readChunk = kMaxPayload,
    .hasTagBuffer = true,
    .matchesAddress = false,
};

// The bridge's configuration report (its serial-side settings), sent after every open.
constexpr std::array<uint8_t, 6> kConfigurationPrefix = {0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30};

// Lets the bridge pass one report's bytes on to the reader before the next report comes.
constexpr auto kReportGap = std::chrono::milliseconds(1);

// A flush drains what is queued now; a device streaming faster than it drains must not
// hold the command forever.

using Report = std::array<uint8_t, kMaxReportLength>;

bool fitsReports(const ReportLengths &lengths) {
    return lengths.input >= kReportLength && lengths.input <= kMaxReportLength &&
           lengths.output >= kReportLength && lengths.output <= kMaxReportLength;
}

bool sendConfiguration(HidDevice &device, const ReportLengths &lengths) {
    Report report{};
    std::copy(kConfigurationPrefix.begin(), kConfigurationPrefix.end(), report.begin());
    return device.writeReport({report.data(), lengths.output});
}

}  // namespace

HidTransport::HidTransport(HidBus &realDevices, HidBus &simulatedDevices)
    : list_(realDevices, simulatedDevices) {}

const TransportProfile &HidTransport::profile() const {
    return kHidProfile;
}

uint16_t HidTransport::enumerate() {
    std::string livePath;
    {
        std::lock_guard lock(deviceMutex_);
        livePath = devicePath_;
    }
    return list_.refresh(livePath);
}

std::optional<std::string> HidTransport::listedText(uint16_t position) const {
    const std::optional<ListedDevice> listed = list_.at(position);
    if (!listed) return std::nullopt;
    return listed->text;
}

std::optional<std::string> HidTransport::listedPath(uint16_t position) const {
    const std::optional<ListedDevice> listed = list_.at(position);
    if (!listed) return std::nullopt;
    return listed->path;
}

void HidTransport::setTargetPath(const std::string &path) {
    std::lock_guard lock(deviceMutex_);
    targetPath_ = path;
}

bool HidTransport::open() {
    std::string path;
    {
        std::lock_guard lock(deviceMutex_);
        path = targetPath_;
    }
    return path.empty() ? openPosition(requestedPosition_) : openTargetPath(path);
}

bool HidTransport::openTargetPath(const std::string &path) {
    enumerate();
    const std::optional<uint16_t> position = list_.find(path);
    return position ? openPosition(*position) : failOpen(ENODEV);
}

bool HidTransport::reopen() {
    {
        std::unique_lock lock(deviceMutex_);
        if (!targetPath_.empty()) {
            const std::string path = targetPath_;
            lock.unlock();
            return openTargetPath(path);
        }
    }
    const uint16_t count = enumerate();
    if (count == 0) return failOpen(ENODEV);
    if (savedPosition_ >= count) savedPosition_ = 0;
    return openPosition(savedPosition_);
}

// The configuration report goes out here; the link's settle pause follows before the
// receive thread starts.
bool HidTransport::openPosition(uint16_t position) {
    const std::optional<ListedDevice> listed = list_.at(position);
    if (!listed) return failOpen(ENODEV);
    // A listing on another thread meanwhile must not probe the endpoint being connected:
    // the simulator would take the probe for its new client.
    setDevicePath(listed->path);
    errno = 0;
    std::unique_ptr<HidDevice> device = listed->bus->open(listed->path);
    const int openErrno = errno;  // hidraw's open or the tunnel's connect says why
    const ReportLengths lengths = device ? device->capabilities() : ReportLengths{};
    if (!device || !fitsReports(lengths) || !sendConfiguration(*device, lengths)) {
        setDevicePath({});
        return failOpen(device || openErrno == 0 ? EIO : openErrno);
    }
    {
        std::lock_guard lock(deviceMutex_);
        device_ = std::move(device);
        lengths_ = lengths;
    }
    savedPosition_ = position;
    return true;
}

void HidTransport::setDevicePath(const std::string &path) {
    std::lock_guard lock(deviceMutex_);
    devicePath_ = path;
}

void HidTransport::close() {
    std::lock_guard lock(deviceMutex_);
    device_.reset();  // a call still holding the device ends before it closes
    devicePath_.clear();
}

bool HidTransport::isOpen() const {
    std::lock_guard lock(deviceMutex_);
    return device_ != nullptr;
}

HidTransport::OpenDevice HidTransport::current() const {
    std::lock_guard lock(deviceMutex_);
    return {device_, lengths_};
}

bool HidTransport::write(std::span<const uint8_t> frame) {
    const OpenDevice open = current();
    if (!open.device || frame.empty()) return false;
    std::lock_guard lock(writeMutex_);
    for (size_t offset = 0; offset < frame.size(); offset += kMaxPayload) {
        if (offset > 0) std::this_thread::sleep_for(kReportGap);
        const size_t size = std::min(kMaxPayload, frame.size() - offset);
        if (!sendReport(open, frame.subspan(offset, size))) return false;
    }
    return true;
}

bool HidTransport::writeReport(std::span<const uint8_t> payload) {
    const OpenDevice open = current();
    if (!open.device || payload.empty() || payload.size() > kMaxPayload) return false;
    std::lock_guard lock(writeMutex_);
    return sendReport(open, payload);
}

bool HidTransport::sendReport(const OpenDevice &open, std::span<const uint8_t> payload) {
    Report report{};
    report[1] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), report.begin() + kReportHeaderSize);
    return open.device->writeReport({report.data(), open.lengths.output});
}

ReadResult HidTransport::read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) {
    const OpenDevice open = current();
    if (!open.device) return {ReadStatus::Lost, 0};
    // A report's payload must fit whole; the report stays queued until it does.
    if (buffer.size() < kMaxPayload) return {ReadStatus::Timeout, 0};
    Report report{};
    ReadResult result;
    {
        std::lock_guard lock(readMutex_);
        result = open.device->readReport({report.data(), open.lengths.input}, wait);
    }
    if (result.status != ReadStatus::Data) return {result.status, 0};
    const size_t carried = result.bytes > kReportHeaderSize ? result.bytes - kReportHeaderSize : 0;
    const size_t count = std::min({size_t{report[1]}, carried, kMaxPayload});
    std::memcpy(buffer.data(), report.data() + kReportHeaderSize, count);
    return {ReadStatus::Data, count};
}

int HidTransport::pollFd() const {
    std::lock_guard lock(deviceMutex_);
    return device_ ? device_->pollFd() : -1;
}

bool HidTransport::reloadCapabilities() {
    std::lock_guard lock(deviceMutex_);
    if (!device_) return false;
    const ReportLengths lengths = device_->capabilities();
    if (!fitsReports(lengths)) return false;
    lengths_ = lengths;
    return true;
}

}  // namespace qn::hid
