// A QnComApi connection to the virtual reader over a pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QnComApi.h"
#include "callback_recorder.h"
#include "reader_frames.h"
#include "virtual_reader.h"

namespace serialtest {

using Bytes = std::vector<uint8_t>;
using testsupport::reportFrame;
using testsupport::requestData;
using testsupport::responseFrame;

class SerialReaderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::optional<Bytes> lastRequest(uint8_t command) const {
        return testsupport::lastRequest(*reader_, command);
    }
    void answerOnce(uint8_t command, const Bytes &data, uint8_t status = 1) {
        testsupport::answerOnce(*reader_, command, data, status);
    }
    // Places exactly these tags (EPCs) in the reader's field.
    void setField(const std::vector<Bytes> &epcs);

    std::filesystem::path tempDir_;
    std::string link_;  // stable symlink to the pty; ends in a digit like a port name
    std::unique_ptr<readersim::VirtualReader> reader_;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

}  // namespace serialtest
