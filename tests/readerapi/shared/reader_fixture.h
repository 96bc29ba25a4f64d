// One reader library connected to a fresh virtual reader for each test, whichever the
// transport: the fixture of the suites that every library shares.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "callback_recorder.h"
#include "reader_frames.h"
#include "reader_library.h"
#include "reader_model.h"

namespace readertest {

using Bytes = std::vector<uint8_t>;
using testsupport::reportFrame;
using testsupport::requestData;
using testsupport::responseFrame;

template <class Library>
class ReaderTest : public ::testing::Test {
  protected:
    static constexpr const ReaderApi &qn = Library::api;

    void SetUp() override {
        app_.clear();
        traffic_.clear();
        qn.SetCallback(nullptr);
        qn.SetCallbackDebug(nullptr);
        reader_ = std::make_unique<readersim::VirtualReader>();
        endpoint_ = std::make_unique<typename Library::Endpoint>(*reader_);
        ASSERT_EQ(endpoint_->open(), 1);
        // The reader takes a new connection on its own thread: until it answers one, raw
        // bytes it sends may go nowhere. On a saturated machine that first answer can come
        // after the library's wait, so it is asked again until a generous deadline.
        uint8_t info[10];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (qn.GetDeviceSystemInfo(0xFF, info) != 1)
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the reader never answered";
        reader_->clearRequests();
    }

    void TearDown() override {
        qn.CloseDevice();
        qn.SetCallback(nullptr);
        qn.SetCallbackDebug(nullptr);
        endpoint_.reset();
        reader_.reset();
    }

    int reopen() const { return endpoint_->open(); }

    std::optional<Bytes> lastRequest(uint8_t command) const {
        return testsupport::lastRequest(*reader_, command);
    }
    void answerOnce(uint8_t command, const Bytes &data, uint8_t status = 1) {
        testsupport::answerOnce(*reader_, command, data, status);
    }
    // Places exactly these tags (EPCs) in the reader's field.
    void setField(const std::vector<Bytes> &epcs) {
        reader_->withModel([&](readersim::ReaderModel &model) {
            model.tags.clear();
            for (const Bytes &epc : epcs) model.tags.emplace_back(epc);
        });
    }
    // How long the library waits for the answer to `command`.
    static std::chrono::milliseconds answerWait(qn::Command command) {
        return qn::pollCount(command, Library::kKind) * qn::pollPeriod(Library::kKind);
    }
    // Returns once every frame the library received so far has been fully delivered
    // (registers the application callback): frames are delivered in order, so a report
    // sent now reaches the callback after all of them.
    void waitForEarlierFramesDelivered() {
        qn.SetCallback(testsupport::CallbackRecorder::appCallback);
        const size_t before = app_.count(2);
        reader_->sendRaw(responseFrame(0x45, {1, 2, 3, 4, 5, 6, 7, 0}));
        ASSERT_TRUE(app_.waitForCount(2, -1, before + 1));
    }

    std::unique_ptr<readersim::VirtualReader> reader_;
    std::unique_ptr<typename Library::Endpoint> endpoint_;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

}  // namespace readertest
