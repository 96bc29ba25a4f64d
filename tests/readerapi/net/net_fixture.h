// A QnNetApi connection to the virtual reader over loopback TCP.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "QnNetApi.h"
#include "callback_recorder.h"
#include "virtual_reader.h"

namespace nettest {

using Bytes = std::vector<uint8_t>;

class NetReaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The last request frame the reader received with this command code.
    std::optional<Bytes> lastRequest(uint8_t command) const;
    // Data bytes of a request frame (between command and checksum).
    static Bytes requestData(const Bytes &frame);
    // A response frame from address 0xFF as a reader sends it.
    static Bytes responseFrame(uint8_t command, const Bytes &data, uint8_t status = 1);
    // Answers the next request of `command` with exactly these data bytes and status.
    void answerOnce(uint8_t command, const Bytes &data, uint8_t status = 1);
    // Returns once every frame the library received so far has been fully delivered
    // (registers the application callback).
    void waitForEarlierFramesDelivered();

    std::unique_ptr<readersim::VirtualReader> reader_;
    uint16_t port_ = 0;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

}  // namespace nettest
