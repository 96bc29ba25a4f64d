// Measurements shared by the library benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

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
// One iteration: the share of a core this process uses over three idle seconds.
void measureIdleCpu(benchmark::State &state);

// Raw GetDeviceSystemInfo round trips on an open descriptor, written with `writeSome`:
// the floor the library's round trip is compared with.
void measureRawRoundTrips(benchmark::State &state, int fd, qn::WriteSome writeSome);

// Register with the library's SetCallback before opening; counts active-mode reports.
void countReport(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                 const uint8_t *serial7);
// One iteration: the reader pushes reports of state.range(0) tags as fast as it can for two
// seconds; reports per second reaching countReport, and how many never arrived.
void measureActiveIngest(benchmark::State &state, readersim::VirtualReader &reader);

}  // namespace benchsupport
