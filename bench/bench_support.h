// Measurements shared by the library benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "frame.h"
#include "posix_io.h"
#include "virtual_reader.h"

namespace benchsupport {

// Keeps `cores` threads spinning while it lives: the "one core busy" condition of the
// round-trip benchmarks, started by the benchmark itself so every run sees the same load.
class BusyCores {
  public:
    explicit BusyCores(int cores);
    ~BusyCores();
    BusyCores(const BusyCores &) = delete;
    BusyCores &operator=(const BusyCores &) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// CPU time of this process so far, in seconds.
double processCpuSeconds();
// The share of a core, in percent, this process uses while the caller sleeps for `window`.
double cpuPercentOfCoreOver(std::chrono::duration<double> window);
// One iteration: the share of a core this process uses over three idle seconds.
void measureIdleCpu(benchmark::State &state);

// A GetDeviceSystemInfo round trip without the library: the request frame written with
// `writeSome`, the whole answer read back. The floor the library's round trip is compared
// with.
class RawRoundTrip {
  public:
    RawRoundTrip();
    // False when the request could not be written or the answer did not come within 1 s.
    bool run(int fd, qn::WriteSome writeSome) const;

  private:
    uint8_t request_[qn::kRequestBufferSize];
    size_t size_;
};
// Raw round trips on an open descriptor, one per iteration.
void measureRawRoundTrips(benchmark::State &state, int fd, qn::WriteSome writeSome);

// A TCP connection to 127.0.0.1:port, or -1.
int connectLoopback(uint16_t port);

// Register with the library's SetCallback before opening; counts active-mode reports.
void countReport(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                 const uint8_t *serial7);
// One iteration: the reader pushes reports of state.range(0) tags as fast as it can for two
// seconds; reports per second reaching countReport, and how many never arrived.
void measureActiveIngest(benchmark::State &state, readersim::VirtualReader &reader);

}  // namespace benchsupport
