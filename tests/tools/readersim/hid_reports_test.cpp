#include "hid_reports.h"

#include <gtest/gtest.h>

namespace {

using readersim::Bytes;
using readersim::kHidReportSize;

Bytes outputReport(const Bytes &payload) {
    Bytes report(kHidReportSize, 0);
    report[1] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), report.begin() + 2);
    return report;
}

Bytes configurationReport() {
    Bytes report(kHidReportSize, 0);
    const uint8_t prefix[] = {0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30};
    std::copy(std::begin(prefix), std::end(prefix), report.begin());
    return report;
}

TEST(HidReports, SixtyThreeBytesBecomeThreeInputReports) {
    Bytes frame(63);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i + 1);
    const Bytes wire = readersim::encodeInputReports(frame);
    ASSERT_EQ(wire.size(), 3 * kHidReportSize);
    EXPECT_EQ(wire[1], 31);
    EXPECT_EQ(wire[kHidReportSize + 1], 31);
    EXPECT_EQ(wire[2 * kHidReportSize + 1], 1);
    EXPECT_EQ(wire[2 * kHidReportSize + 2], 63);
    EXPECT_EQ(wire[2 * kHidReportSize + 3], 0);  // padding
}

TEST(HidReports, ConfigurationReportIsCountedNotForwarded) {
    readersim::OutputReportDecoder decoder;
    Bytes payload;
    decoder.feed(configurationReport(), payload);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(decoder.configReports(), 1u);
    // The same prefix with a stray byte later is not the configuration report.
    Bytes almost = configurationReport();
    almost[20] = 1;
    decoder.feed(almost, payload);
    EXPECT_EQ(decoder.configReports(), 1u);
}

TEST(HidReports, PayloadSurvivesArbitraryStreamCuts) {
    readersim::OutputReportDecoder decoder;
    const Bytes wire = [] {
        Bytes all = outputReport({1, 2, 3});
        const Bytes second = outputReport(Bytes(31, 9));
        all.insert(all.end(), second.begin(), second.end());
        return all;
    }();
    Bytes payload;
    for (uint8_t byte : wire) decoder.feed(std::span(&byte, 1), payload);
    ASSERT_EQ(payload.size(), 34u);
    EXPECT_EQ(payload[2], 3);
    EXPECT_EQ(payload[33], 9);
}

TEST(HidReports, CountsOutsideOneToThirtyOneAreRejected) {
    readersim::OutputReportDecoder decoder;
    Bytes report = outputReport({});
    Bytes payload;
    decoder.feed(report, payload);
    report[1] = 32;
    decoder.feed(report, payload);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(decoder.invalidReports(), 2u);
}

}  // namespace
