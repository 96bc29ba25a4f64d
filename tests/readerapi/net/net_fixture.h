// A QnNetApi connection to the virtual reader over loopback TCP.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "QnNetApi.h"
#include "callback_recorder.h"
#include "reader_frames.h"
#include "virtual_reader.h"

namespace nettest {

using Bytes = std::vector<uint8_t>;
using testsupport::requestData;
using testsupport::responseFrame;

class NetReaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::optional<Bytes> lastRequest(uint8_t command) const {
        return testsupport::lastRequest(*reader_, command);
    }
    void answerOnce(uint8_t command, const Bytes &data, uint8_t status = 1) {
        testsupport::answerOnce(*reader_, command, data, status);
    }
    // Returns once every frame the library received so far has been fully delivered
    // (registers the application callback).
    void waitForEarlierFramesDelivered();

    std::unique_ptr<readersim::VirtualReader> reader_;
    uint16_t port_ = 0;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

}  // namespace nettest
