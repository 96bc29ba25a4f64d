#include "reader_library.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <utility>

namespace readertest {

namespace handleapi {

namespace {

// Read on the handle's threads while a test changes them.
std::atomic<QnCallback> appCallback{nullptr};
std::atomic<QnCallback> trafficCallback{nullptr};

void forward(QnReader *, void *user, int32_t event, int32_t value, const uint8_t *data,
             int32_t length, const uint8_t *serial7) {
    const QnCallback callback = static_cast<std::atomic<QnCallback> *>(user)->load();
    if (callback) callback(event, value, data, length, serial7);
}

void applyCallbacks() {
    QnReader_SetCallback(current, appCallback ? forward : nullptr, &appCallback);
    QnReader_SetCallbackDebug(current, trafficCallback ? forward : nullptr, &trafficCallback);
}

}  // namespace

int SetCallback(QnCallback cb) {
    appCallback = cb;
    if (current) applyCallbacks();
    return 1;
}

int SetCallbackDebug(QnCallback cb) {
    trafficCallback = cb;
    if (current) applyCallbacks();
    return 1;
}

void CloseDevice() {
    QnReader_Close(current.exchange(nullptr));
}

int open(const std::string &address) {
    CloseDevice();
    char error[256];
    current = QnReader_Open(address.c_str(), error, sizeof error);
    if (!current.load()) return 0;
    applyCallbacks();
    return 1;
}

}  // namespace handleapi

SerialLibrary::Endpoint::Endpoint(readersim::VirtualReader &reader)
    : tempDir_(std::filesystem::temp_directory_path() /
               ("qn-reader-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::create_directories(tempDir_);
    link_ = (tempDir_ / "reader0").string();
    reader.servePty(link_);
}

SerialLibrary::Endpoint::~Endpoint() {
    std::error_code ignored;
    std::filesystem::remove_all(tempDir_, ignored);
}

int SerialLibrary::Endpoint::open() const {
    QnCom_SetParity(0);
    return QnCom_OpenDevice(link_.c_str(), 115200);
}

HidLibrary::Endpoint::Endpoint(readersim::VirtualReader &reader) {
    const std::string endpoint = "127.0.0.1:" + std::to_string(reader.serveHid());
    ::setenv("QNHID_SIM", endpoint.c_str(), 1);
}

HidLibrary::Endpoint::~Endpoint() {
    ::unsetenv("QNHID_SIM");
}

int HidLibrary::Endpoint::open() const {
    return QnHid_GetUsbCount() == 1 && QnHid_OpenDevice(0) == 1 ? 1 : 0;
}

NetLibrary::Endpoint::Endpoint(readersim::VirtualReader &reader) : port_(reader.serveTcp()) {}

int NetLibrary::Endpoint::open() const {
    return QnNet_OpenDevice("127.0.0.1", port_);
}

}  // namespace readertest
