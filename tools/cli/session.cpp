#include "session.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <span>

#include "cli_error.h"
#include "output.h"
#include "reader_address.h"
#include "reader_family.h"

namespace cli {

namespace {

std::string versionText(std::uint8_t version) {
    return std::to_string(version >> 4) + "." + std::to_string(version & 0x0F);
}

// --verbose: "> " for a frame sent, "< " for one received.
void traceFrame(QnReader *, void *, int32_t event, int32_t value, const uint8_t *data,
                int32_t length, const uint8_t *) {
    if (event != QN_EVENT_DATA || data == nullptr || length <= 0) return;
    const std::string line = (value == 1 ? "> " : "< ") +
                             hexText(std::span(data, static_cast<std::size_t>(length))) + "\n";
    std::fputs(line.c_str(), stderr);
}

// The handle's own threads start at open; they inherit this thread's signal mask, so with
// SIGINT blocked here they never take it and a stream command can wait for it alone.
QnReader *openWithoutInterrupts(const std::string &address, char *error, std::size_t errorSize) {
    sigset_t interrupt, previous;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
    QnReader *reader = QnReader_Open(address.c_str(), error, errorSize);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return reader;
}

}  // namespace

std::string Identity::serialText() const {
    return hexText(std::span(info).subspan(2, 7));
}

std::string Identity::family() const {
    return readerfamily::traitsOfType(type()).name;
}

std::string Identity::firmware() const {
    return versionText(info[0]);
}

std::string Identity::hardware() const {
    return versionText(info[1]);
}

std::string checkedAddress(const GlobalOptions &options) {
    if (options.address.empty()) {
        usageError("no reader address: give --reader ADDRESS or set TAGBENCH_READER");
    }
    const readeraddress::Parsed parsed = readeraddress::parse(options.address);
    if (!parsed.address) usageError("reader address \"" + options.address + "\": " + parsed.error);
    return options.address;
}

Session::Session(const GlobalOptions &options) : json_(options.json) {
    const std::string address = checkedAddress(options);
    char error[256] = "";
    reader_ = openWithoutInterrupts(address, error, sizeof error);
    if (reader_ == nullptr) {
        // The library's reason usually names the address already.
        const std::string reason =
            std::string(error).starts_with(address) ? std::string(error) : address + ": " + error;
        throw Failure(kCannotOpen, "cannot open " + reason);
    }
    QnReader_SetWaitScale(reader_, options.waitScale);  // the option checked its range
    if (options.verbose) QnReader_SetCallbackDebug(reader_, traceFrame, nullptr);
    if (!QnReader_GetDeviceSystemInfo(reader_, kAnyAddress, identity_.info.data())) {
        close();
        throw Failure(kCannotOpen, "cannot open " + address + ": the reader did not say who it is");
    }
}

Session::~Session() {
    close();
}

void Session::close() {
    QnReader_Close(reader_);
    reader_ = nullptr;
}

}  // namespace cli
