// Receive parser throughput: frame bytes per second through the passes a receive thread runs.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "frame.h"

namespace {

std::vector<uint8_t> streamOfFrames(size_t dataBytes, size_t frames) {
    std::vector<uint8_t> data(dataBytes, 0x5C);
    std::vector<uint8_t> frame(dataBytes + 8);
    frame.resize(qn::buildResponse(0xFF, 0x01, 1, data, frame));
    std::vector<uint8_t> stream;
    for (size_t i = 0; i < frames; ++i) stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

void BM_ParseFrames(benchmark::State &state) {
    const auto stream = streamOfFrames(size_t(state.range(0)), 64);
    qn::ReceiveParser parser;
    qn::PendingInput pending(65536);
    size_t delivered = 0;
    for (auto _ : state) {
        size_t offset = 0;
        while (offset < stream.size() || pending.size()) {
            const size_t chunk = std::min({stream.size() - offset, pending.room(), size_t(1024)});
            std::memcpy(pending.writePosition(), stream.data() + offset, chunk);
            pending.commit(chunk);
            offset += chunk;
            while (pending.pass(parser)) {
                parser.clearFrameReady();
                ++delivered;
            }
        }
    }
    benchmark::DoNotOptimize(delivered);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
}
BENCHMARK(BM_ParseFrames)->Arg(10)->Arg(200)->Arg(1400);

}  // namespace

BENCHMARK_MAIN();
