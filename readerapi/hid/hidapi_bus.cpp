#include "hidapi_bus.h"

#include <hidapi.h>

#include <mutex>

namespace qn::hid {

namespace {

// hidapi keeps its last error in process-wide state while enumerating and opening, so
// those calls must not overlap (the application and the monitor thread both make them).
std::mutex &hidapiGlobalMutex() {
    static std::mutex mutex;
    return mutex;
}

struct HandleCloser {
    void operator()(hid_device *handle) const { hid_close(handle); }
};
using Handle = std::unique_ptr<hid_device, HandleCloser>;

// Two handles on one hidraw node, as the write and read handles of the bridge: the
// receive thread reads while a command writes, and hidapi keeps per-handle error state
// that two threads must not share.
class HidapiDevice final : public HidDevice {
  public:
    HidapiDevice(Handle writeHandle, Handle readHandle)
        : write_(std::move(writeHandle)), read_(std::move(readHandle)) {}

    // hidraw offers no capability query in hidapi 0.13. The CH9326 has fixed 32-byte
    // unnumbered reports; with the report ID in front, as every report here is laid out,
    // both are 33 bytes.
    ReportLengths capabilities() override { return {kReportLength, kReportLength}; }

    bool writeReport(std::span<const uint8_t> report) override {
        // hidapi strips report ID 0 and the kernel sends the rest as an output report
        // (interrupt OUT, or SET_REPORT(Output) on a bridge without that endpoint).
        const int written = hid_write(write_.get(), report.data(), report.size());
        return written >= 0 && static_cast<size_t>(written) == report.size();
    }

    ReadResult readReport(std::span<uint8_t> report, std::chrono::milliseconds wait) override {
        if (report.size() < 2) return {ReadStatus::Timeout, 0};
        // hidraw hands unnumbered reports over without a report ID; put the 0 back so the
        // payload count sits at byte 1 as on every bus.
        report[0] = 0;
        const int got = hid_read_timeout(read_.get(), report.data() + 1, report.size() - 1,
                                         static_cast<int>(wait.count()));
        if (got < 0) return {ReadStatus::Lost, 0};
        if (got == 0) return {ReadStatus::Timeout, 0};
        return {ReadStatus::Data, static_cast<size_t>(got) + 1};
    }

  private:
    Handle write_;
    Handle read_;
};

}  // namespace

std::vector<std::string> HidapiBus::enumerate(size_t limit, const std::string &) {
    std::vector<std::string> paths;
    std::lock_guard lock(hidapiGlobalMutex());
    hid_device_info *devices = hid_enumerate(kVendorId, kProductId);
    for (const hid_device_info *d = devices; d && paths.size() < limit; d = d->next) {
        if (d->path) paths.emplace_back(d->path);
    }
    hid_free_enumeration(devices);
    return paths;
}

std::unique_ptr<HidDevice> HidapiBus::open(const std::string &path) {
    std::lock_guard lock(hidapiGlobalMutex());
    Handle writeHandle(hid_open_path(path.c_str()));
    if (!writeHandle) return nullptr;
    Handle readHandle(hid_open_path(path.c_str()));
    if (!readHandle) return nullptr;
    return std::make_unique<HidapiDevice>(std::move(writeHandle), std::move(readHandle));
}

}  // namespace qn::hid
