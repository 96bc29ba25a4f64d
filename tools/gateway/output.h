// One destination of the tag messages (MQTT, HTTP, stdout). The hub calls it from several
// threads; each output serialises itself.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "message.h"

namespace gateway {

class Output {
  public:
    virtual ~Output() = default;

    virtual void send(TagMessage message) = 0;
    // Reader statuses and statistics exist on MQTT only. `stats` holds the gateway's counts;
    // the output adds its own (published, dropped, queued).
    virtual void readerStatus(const std::string & /*reader*/, const std::string & /*json*/) {}
    virtual void stats(Stats /*stats*/) {}
    // Delivers what is still queued until `deadline`, then stops for good.
    virtual void finish(std::chrono::steady_clock::time_point deadline) = 0;
};

}  // namespace gateway
