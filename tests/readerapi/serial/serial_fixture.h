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
#include "virtual_reader.h"

namespace serialtest {

using Bytes = std::vector<uint8_t>;

class SerialReaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The last request frame the reader received with this command code.
    std::optional<Bytes> lastRequest(uint8_t command) const;
    // Data bytes of a request frame (between command and checksum).
    static Bytes requestData(const Bytes &frame);
    // Answers the next request of `command` with exactly these data bytes and status.
    void answerOnce(uint8_t command, const Bytes &data, uint8_t status = 1);
    // Places exactly these tags (EPCs) in the reader's field.
    void setField(const std::vector<Bytes> &epcs);
    // An active-mode report frame as a reader pushes it.
    static Bytes reportFrame(const Bytes &serial7, const std::vector<Bytes> &records);
    static Bytes responseFrame(uint8_t command, const Bytes &data, uint8_t status = 1);

    std::filesystem::path tempDir_;
    std::string link_;  // stable symlink to the pty; ends in a digit like a port name
    std::unique_ptr<readersim::VirtualReader> reader_;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

}  // namespace serialtest
