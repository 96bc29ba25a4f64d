#include "lively_field.h"

#include <algorithm>

#include "reader_model.h"

namespace readersim {

namespace {

constexpr int kFieldAntennas = 4;
constexpr int kLowestRssi = 0xA0;
constexpr int kHighestRssi = 0xE0;
constexpr float kLowestTemperature = 18.0f;
constexpr float kHighestTemperature = 36.0f;
// Of 100 steps: a visitor moves, a sensor misses its reading.
constexpr int kMovePercent = 15;
constexpr int kMissedReadingPercent = 5;

bool hasTemperatureTags(uint8_t type) {
    const auto tabs = readerfamily::tabsOf(type);
    return std::any_of(tabs.begin(), tabs.end(), [](const readerfamily::Tab &tab) {
        return tab.page == readerfamily::PageId::IdentifyTemp;
    });
}

}  // namespace

LivelyField::LivelyField(uint32_t seed) : random_(seed) {}

void LivelyField::populate(ReaderModel &model) {
    model.tags.clear();
    visitorEpcs_.clear();
    away_.clear();
    const int antennas = std::min(kFieldAntennas, model.antennaCount());
    const bool sensors = hasTemperatureTags(model.type());
    for (int i = 0; i < kResidentTags + kVisitorTags; ++i) {
        VirtualTag &tag = model.tags[model.addGeneratedTag()];
        tag.antenna = 1 + i % std::max(antennas, 1);
        if (sensors && i % 3 == 1) {
            tag.temperatureSensor = true;
            tag.temperature = 21.0f + static_cast<float>(i % 7);
        }
    }
    for (int i = 0; i < kVisitorTags; ++i) {
        visitorEpcs_.push_back(model.tags.back().epc());
        away_.push_back(std::move(model.tags.back()));
        model.tags.pop_back();
    }
}

void LivelyField::step(ReaderModel &model, std::chrono::steady_clock::time_point now) {
    if (now - lastStep_ < kStepPeriod) return;
    lastStep_ = now;
    for (VirtualTag &tag : model.tags) drift(tag);
    if (std::uniform_int_distribution(0, 99)(random_) < kMovePercent) comeOrGo(model);
}

void LivelyField::drift(VirtualTag &tag) {
    const int rssi = tag.rssi + std::uniform_int_distribution(-4, 4)(random_);
    tag.rssi = static_cast<uint8_t>(std::clamp(rssi, kLowestRssi, kHighestRssi));
    if (!tag.temperatureSensor) return;
    if (std::uniform_int_distribution(0, 99)(random_) < kMissedReadingPercent) {
        tag.temperature.reset();
        return;
    }
    const float last = tag.temperature.value_or(25.0f);
    const float next = last + std::uniform_real_distribution(-0.3f, 0.3f)(random_);
    tag.temperature = std::clamp(next, kLowestTemperature, kHighestTemperature);
}

bool LivelyField::isVisitor(const VirtualTag &tag) const {
    return std::find(visitorEpcs_.begin(), visitorEpcs_.end(), tag.epc()) != visitorEpcs_.end();
}

void LivelyField::comeOrGo(ReaderModel &model) {
    const bool arrive = !away_.empty() && std::uniform_int_distribution(0, 1)(random_) == 0;
    if (arrive) {
        const size_t pick = std::uniform_int_distribution<size_t>(0, away_.size() - 1)(random_);
        model.tags.push_back(std::move(away_[pick]));
        away_.erase(away_.begin() + static_cast<std::ptrdiff_t>(pick));
        return;
    }
    // Residents stay, so the tag that reads and writes act on (the first) never leaves.
    std::vector<size_t> present;
    for (size_t i = 0; i < model.tags.size(); ++i)
        if (isVisitor(model.tags[i])) present.push_back(i);
    if (present.empty()) return;
    const size_t pick =
        present[std::uniform_int_distribution<size_t>(0, present.size() - 1)(random_)];
    away_.push_back(std::move(model.tags[pick]));
    model.tags.erase(model.tags.begin() + static_cast<std::ptrdiff_t>(pick));
}

}  // namespace readersim
