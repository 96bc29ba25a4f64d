// The demo's field: residents spread over the antennas, sensor tags on the temperature families,
// visitors coming and going while the first tag (the one reads and writes reach) stays.
#include <gtest/gtest.h>

#include <set>

#include "lively_field.h"
#include "reader_model.h"

namespace {

using readersim::LivelyField;
using readersim::ReaderModel;

TEST(LivelyField, ChangesWhileTheFirstTagStays) {
    ReaderModel model(0xD1, 0);  // Cedar2: temperature tags
    LivelyField field(7);
    field.populate(model);
    ASSERT_EQ(model.tags.size(), static_cast<size_t>(LivelyField::kResidentTags));
    int sensors = 0;
    for (const auto &tag : model.tags) sensors += tag.temperatureSensor ? 1 : 0;
    EXPECT_GT(sensors, 0);

    const auto firstEpc = model.tags[0].epc();
    std::set<size_t> sizes;
    auto now = std::chrono::steady_clock::now();
    for (int step = 0; step < 400; ++step) {
        now += LivelyField::kStepPeriod;
        field.step(model, now);
        sizes.insert(model.tags.size());
        ASSERT_EQ(model.tags[0].epc(), firstEpc);
    }
    EXPECT_GT(sizes.size(), 1u);
    EXPECT_LE(*sizes.rbegin(),
              static_cast<size_t>(LivelyField::kResidentTags + LivelyField::kVisitorTags));
}

TEST(LivelyField, PlainFamiliesSpreadPlainTagsOverTheirAntennas) {
    ReaderModel model(0x50, 0);
    LivelyField field;
    field.populate(model);
    std::set<int> antennas;
    for (const auto &tag : model.tags) {
        EXPECT_FALSE(tag.temperatureSensor);
        antennas.insert(tag.antenna);
    }
    EXPECT_EQ(antennas.size(), 4u);
}

}  // namespace
