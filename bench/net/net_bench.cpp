// TCP library against the virtual reader on loopback:
// - a GetDeviceSystemInfo round trip next to a raw socket send/receive of the same bytes
//   (the library's wait and receive thread must add little to the wire time);
// - CPU used by an open, idle connection (the receive thread must wait, not spin);
// - active-mode ingest: reports per second reaching the application callback while the
//   reader pushes as fast as it can, and how many of the reports sent never arrived.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "QnNetApi.h"
#include "bench_support.h"

namespace {

void BM_NetLibraryRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    uint8_t info[10];
    int failures = 0;
    for (auto _ : state) failures += QnNet_GetDeviceSystemInfo(0xFF, info) ? 0 : 1;
    state.counters["failures"] = failures;
    QnNet_CloseDevice();
}
BENCHMARK(BM_NetLibraryRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_NetRawRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    const int fd = benchsupport::connectLoopback(reader.serveTcp());
    if (fd < 0) {
        state.SkipWithError("connect failed");
        return;
    }
    benchsupport::measureRawRoundTrips(state, fd, qn::sendNoSignal);
    ::close(fd);
}
BENCHMARK(BM_NetRawRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

// CPU of the whole process (library threads and the idle virtual reader) while connected.
void BM_NetIdleConnectionCpu(benchmark::State &state) {
    readersim::VirtualReader reader;
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    benchsupport::measureIdleCpu(state);
    QnNet_CloseDevice();
}
BENCHMARK(BM_NetIdleConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The same with a plain socket instead of the library: what the idle reader itself costs.
void BM_NetIdleRawConnectionCpu(benchmark::State &state) {
    readersim::VirtualReader reader;
    const int fd = benchsupport::connectLoopback(reader.serveTcp());
    if (fd < 0) {
        state.SkipWithError("connect failed");
        return;
    }
    benchsupport::measureIdleCpu(state);
    ::close(fd);
}
BENCHMARK(BM_NetIdleRawConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

// Argument: tags per report.
void BM_NetActiveIngest(benchmark::State &state) {
    readersim::VirtualReader reader;
    QnNet_SetCallback(benchsupport::countReport);
    if (!QnNet_OpenDevice("127.0.0.1", reader.serveTcp())) {
        state.SkipWithError("open failed");
        return;
    }
    benchsupport::measureActiveIngest(state, reader);
    QnNet_CloseDevice();
    QnNet_SetCallback(nullptr);
}
BENCHMARK(BM_NetActiveIngest)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
