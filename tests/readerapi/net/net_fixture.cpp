#include "net_fixture.h"


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

void NetReaderTest::waitForEarlierFramesDelivered() {
    // The receive thread delivers frames in order, so once a report sent now has reached
    // the application callback, every frame before it has been handled completely.
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    const size_t before = app_.count(2);
    reader_->sendRaw(responseFrame(0x45, {1, 2, 3, 4, 5, 6, 7, 0}));
    ASSERT_TRUE(app_.waitForCount(2, -1, before + 1));
}

}  // namespace nettest
