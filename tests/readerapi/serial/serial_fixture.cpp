#include "serial_fixture.h"

#include <unistd.h>

#include "reader_model.h"

namespace serialtest {

void SerialReaderTest::SetUp() {
    tempDir_ = std::filesystem::temp_directory_path() /
               ("qncom-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(tempDir_);
    link_ = (tempDir_ / "reader0").string();
    reader_ = std::make_unique<readersim::VirtualReader>();
    reader_->servePty(link_);
    app_.clear();
    traffic_.clear();
    QnCom_SetCallback(nullptr);
    QnCom_SetCallbackDebug(nullptr);
    QnCom_SetParity(0);
    ASSERT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 1);
}

void SerialReaderTest::TearDown() {
    QnCom_CloseDevice();
    QnCom_SetCallback(nullptr);
    QnCom_SetCallbackDebug(nullptr);
    QnCom_SetDeviceRDAddr(0xFF);
    reader_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(tempDir_, ignored);
}

void SerialReaderTest::setField(const std::vector<Bytes> &epcs) {
    reader_->withModel([&](readersim::ReaderModel &model) {
        model.tags.clear();
        for (const Bytes &epc : epcs) model.tags.emplace_back(epc);
    });
}

}  // namespace serialtest
