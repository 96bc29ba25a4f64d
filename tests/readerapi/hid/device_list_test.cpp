// The device list: which text a path is listed under, QNHID_SIM entries, and the order and
// limit of the combined list.
#include <gtest/gtest.h>

#include "device_list.h"
#include "sim_bus.h"

namespace qn::hid {
namespace {

TEST(ListedText, LowerCaseBridgeIdsAreListedInUpperCase) {
    EXPECT_EQ(listedText(R"(\\?\hid#vid_1a86&pid_e010#7&1a2b&0&0000#{4d1e55b2})"),
              R"(\\?\HID#VID_1A86&PID_E010#7&1A2B&0&0000#{4D1E55B2})");
}

TEST(ListedText, UpperCaseAndIdlessPathsStayAsTheyAre) {
    EXPECT_EQ(listedText(R"(\\?\HID#VID_1A86&PID_E010#abc)"), R"(\\?\HID#VID_1A86&PID_E010#abc)");
    EXPECT_EQ(listedText("/dev/hidraw3"), "/dev/hidraw3");
    EXPECT_EQ(listedText("sim:localhost:7000"), "sim:localhost:7000");
    EXPECT_EQ(listedText(""), "");
}

TEST(SimEndpoint, HostAndPortAreSplitAtTheLastColon) {
    const auto plain = parseEndpoint("127.0.0.1:7000");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "127.0.0.1");
    EXPECT_EQ(plain->port, "7000");
    const auto v6 = parseEndpoint("[::1]:7001");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, "7001");
}

TEST(SimEndpoint, IncompleteEntriesAreRejected) {
    EXPECT_FALSE(parseEndpoint(""));
    EXPECT_FALSE(parseEndpoint("localhost"));
    EXPECT_FALSE(parseEndpoint(":7000"));
    EXPECT_FALSE(parseEndpoint("localhost:"));
    EXPECT_FALSE(parseEndpoint("localhost:70a0"));
    EXPECT_FALSE(parseEndpoint("localhost:0"));
    EXPECT_FALSE(parseEndpoint("localhost:65536"));
    EXPECT_FALSE(parseEndpoint("localhost:+80"));
    EXPECT_TRUE(parseEndpoint("localhost:65535"));
}

class FakeBus final : public HidBus {
  public:
    explicit FakeBus(std::vector<std::string> paths) : paths_(std::move(paths)) {}

    std::vector<std::string> enumerate(size_t limit, const std::string &livePath) override {
        lastLimit = limit;
        lastLivePath = livePath;
        const size_t count = std::min(limit, paths_.size());
        return {paths_.begin(), paths_.begin() + static_cast<ptrdiff_t>(count)};
    }
    std::unique_ptr<HidDevice> open(const std::string &) override { return nullptr; }

    size_t lastLimit = 0;
    std::string lastLivePath;

  private:
    std::vector<std::string> paths_;
};

TEST(DeviceList, RealDevicesComeFirstThenSimulatedOnes) {
    FakeBus real({"/dev/hidraw1", R"(\\?\hid#vid_1a86&pid_e010#1)"});
    FakeBus simulated({"sim:127.0.0.1:7000"});
    DeviceList list(real, simulated);
    ASSERT_EQ(list.refresh("sim:127.0.0.1:7000"), 3);
    EXPECT_EQ(list.at(0)->text, "/dev/hidraw1");
    EXPECT_EQ(list.at(1)->text, R"(\\?\HID#VID_1A86&PID_E010#1)");
    EXPECT_EQ(list.at(1)->path, R"(\\?\hid#vid_1a86&pid_e010#1)");  // opened as found
    EXPECT_EQ(list.at(1)->bus, &real);
    EXPECT_EQ(list.at(2)->text, "sim:127.0.0.1:7000");
    EXPECT_EQ(list.at(2)->bus, &simulated);
    EXPECT_FALSE(list.at(3));
    EXPECT_EQ(simulated.lastLivePath, "sim:127.0.0.1:7000");
}

TEST(DeviceList, AtMost64DevicesAreListed) {
    std::vector<std::string> many;
    for (int i = 0; i < 70; ++i) many.push_back("/dev/hidraw" + std::to_string(i));
    FakeBus real(many);
    FakeBus simulated({"sim:127.0.0.1:7000"});
    DeviceList list(real, simulated);
    EXPECT_EQ(list.refresh(""), 64);
    EXPECT_EQ(real.lastLimit, 64u);
    EXPECT_EQ(simulated.lastLimit, 0u);
    EXPECT_EQ(list.at(63)->text, "/dev/hidraw63");
}

TEST(DeviceList, ARefreshReplacesTheList) {
    FakeBus real({});
    FakeBus simulated({"sim:127.0.0.1:7000", "sim:127.0.0.1:7001"});
    DeviceList list(real, simulated);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.refresh(""), 2);
    FakeBus none({});
    DeviceList empty(none, none);
    EXPECT_EQ(empty.refresh(""), 0);
    EXPECT_FALSE(empty.at(0));
}

}  // namespace
}  // namespace qn::hid
