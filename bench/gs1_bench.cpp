// GS1 decoder throughput on one core (goal: at least 5 M EPCs/s) over the mix a busy field
// shows: mostly SGTIN-96, some other schemes, and a quarter of EPCs that are not GS1 at all.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gs1_epc.h"

namespace {

// Of every 16 EPCs: 8 SGTIN-96, one each of the other schemes, 4 that decode to nothing.
const char *const kTemplates[] = {
    "3034257BF7194E4000001A85",
    "3034257BF7194E4000001A86",
    "3074257BF7194E4000001A85",
    "30F801348000030000000000",
    "3034257BF7194E4000001A87",
    "3034257BF7194E4000001A88",
    "3034257BF7194E4000001A89",
    "3034257BF7194E4000001A8A",
    "3154257BF4499602D2000000",
    "3214257BF460720000000190",
    "3414257BF400000000BC6038",
    "355AB1C60003039000000190",
    "3674257BF7194E59B2C2BF100000000000000000000000000000",
    "E2000017220A010000000001",
    "303C00000000000000000005",
    "E20034120000000000000000000000000001",
};

std::vector<std::uint8_t> bytesOf(const std::string &hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// 1 024 EPCs; the last byte varies so consecutive SGTINs differ in their serial.
std::vector<std::vector<std::uint8_t>> mixOfEpcs() {
    std::vector<std::vector<std::uint8_t>> epcs;
    for (int i = 0; i < 1024; ++i) {
        auto epc = bytesOf(kTemplates[i % std::size(kTemplates)]);
        if (epc[0] == 0x30) epc.back() = static_cast<std::uint8_t>(i);
        epcs.push_back(std::move(epc));
    }
    return epcs;
}

void reportRate(benchmark::State &state, std::size_t decoded) {
    benchmark::DoNotOptimize(decoded);
    state.counters["EPCs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeBytes(benchmark::State &state) {
    const auto epcs = mixOfEpcs();
    std::size_t next = 0, decoded = 0;
    for (auto _ : state) {
        const auto identity = gs1::decode(epcs[next]);
        decoded += identity ? identity->uri.size() : 0;
        next = (next + 1) % epcs.size();
    }
    reportRate(state, decoded);
}
BENCHMARK(BM_DecodeBytes);

// As the tools meet EPCs in text: hex.
void BM_DecodeHex(benchmark::State &state) {
    std::vector<std::string> texts;
    for (const auto &epc : mixOfEpcs()) {
        std::string text;
        for (const std::uint8_t byte : epc) {
            constexpr char digits[] = "0123456789ABCDEF";
            text += digits[byte >> 4];
            text += digits[byte & 0xF];
        }
        texts.push_back(std::move(text));
    }
    std::size_t next = 0, decoded = 0;
    for (auto _ : state) {
        const auto identity = gs1::decodeHex(texts[next]);
        decoded += identity ? identity->uri.size() : 0;
        next = (next + 1) % texts.size();
    }
    reportRate(state, decoded);
}
BENCHMARK(BM_DecodeHex);

}  // namespace

BENCHMARK_MAIN();
