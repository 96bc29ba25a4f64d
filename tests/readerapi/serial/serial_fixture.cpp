#include "serial_fixture.h"

#include <unistd.h>

#include "frame.h"
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

std::optional<Bytes> SerialReaderTest::lastRequest(uint8_t command) const {
    const std::vector<Bytes> requests = reader_->requests();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->size() >= 7 && (*it)[5] == command) return *it;
    }
    return std::nullopt;
}

Bytes SerialReaderTest::requestData(const Bytes &frame) {
    if (frame.size() < 7) return {};
    return Bytes(frame.begin() + 6, frame.end() - 1);
}

void SerialReaderTest::answerOnce(uint8_t command, const Bytes &data, uint8_t status) {
    auto used = std::make_shared<bool>(false);
    reader_->setAnswerOverride([=](const Bytes &request) -> std::optional<Bytes> {
        if (*used || request.size() < 7 || request[5] != command) return std::nullopt;
        *used = true;
        return responseFrame(command, data, status);
    });
}

void SerialReaderTest::setField(const std::vector<Bytes> &epcs) {
    reader_->withModel([&](readersim::ReaderModel &model) {
        model.tags.clear();
        for (const Bytes &epc : epcs) model.tags.emplace_back(epc);
    });
}

Bytes SerialReaderTest::responseFrame(uint8_t command, const Bytes &data, uint8_t status) {
    Bytes frame(data.size() + 8);
    frame.resize(qn::buildResponse(0xFF, command, status, data, frame));
    return frame;
}

Bytes SerialReaderTest::reportFrame(const Bytes &serial7, const std::vector<Bytes> &records) {
    Bytes data = serial7;
    data.push_back(static_cast<uint8_t>(records.size()));
    for (const Bytes &record : records) data.insert(data.end(), record.begin(), record.end());
    return responseFrame(0x45, data);
}

}  // namespace serialtest
