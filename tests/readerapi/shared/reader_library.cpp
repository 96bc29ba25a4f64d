#include "reader_library.h"

#include <unistd.h>

#include <cstdlib>

namespace readertest {

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
