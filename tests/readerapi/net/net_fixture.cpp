#include "net_fixture.h"

#include "frame.h"

namespace nettest {

void NetReaderTest::SetUp() {
    reader_ = std::make_unique<readersim::VirtualReader>();
    port_ = reader_->serveTcp();
    ASSERT_NE(port_, 0);
    app_.clear();
    traffic_.clear();
    QnNet_SetCallback(nullptr);
    QnNet_SetCallbackDebug(nullptr);
    ASSERT_EQ(QnNet_OpenDevice("127.0.0.1", port_), 1);
}

void NetReaderTest::TearDown() {
    QnNet_CloseDevice();
    QnNet_SetCallback(nullptr);
    QnNet_SetCallbackDebug(nullptr);
    reader_.reset();
}

std::optional<Bytes> NetReaderTest::lastRequest(uint8_t command) const {
    const std::vector<Bytes> requests = reader_->requests();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->size() >= 7 && (*it)[5] == command) return *it;
    }
    return std::nullopt;
}

Bytes NetReaderTest::requestData(const Bytes &frame) {
    if (frame.size() < 7) return {};
    return Bytes(frame.begin() + 6, frame.end() - 1);
}

Bytes NetReaderTest::responseFrame(uint8_t command, const Bytes &data, uint8_t status) {
    Bytes frame(data.size() + 8);
    frame.resize(qn::buildResponse(0xFF, command, status, data, frame));
    return frame;
}

void NetReaderTest::answerOnce(uint8_t command, const Bytes &data, uint8_t status) {
    auto used = std::make_shared<bool>(false);
    reader_->setAnswerOverride([=](const Bytes &request) -> std::optional<Bytes> {
        if (*used || request.size() < 7 || request[5] != command) return std::nullopt;
        *used = true;
        return responseFrame(command, data, status);
    });
}

void NetReaderTest::waitForEarlierFramesDelivered() {
    // The receive thread delivers frames in order, so once a report sent now has reached
    // the application callback, every frame before it has been handled completely.
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    const size_t before = app_.count(2);
    reader_->sendRaw(responseFrame(0x45, {1, 2, 3, 4, 5, 6, 7, 0}));
    ASSERT_TRUE(app_.waitForCount(2, -1, before + 1));
}

}  // namespace nettest
