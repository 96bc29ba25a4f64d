// Simulated bridges for tests and demonstrations: each entry of QNHID_SIM
// ("host:port,host:port") is a TCP endpoint carrying fixed 33-byte reports both ways. A
// device is present while its endpoint accepts a connection; the stream closing is an unplug.
#pragma once

#include <optional>

#include "hid_bus.h"

namespace qn::hid {

inline constexpr const char *kSimEnvironment = "QNHID_SIM";
inline constexpr const char *kSimPathPrefix = "sim:";

struct Endpoint {
    std::string host;
    std::string port;
};

// "host:port" (IPv6 hosts in brackets); nothing when either part is missing.
std::optional<Endpoint> parseEndpoint(const std::string &text);

class SimBus final : public HidBus {
  public:
    std::vector<std::string> enumerate(size_t limit, const std::string &livePath) override;
    std::unique_ptr<HidDevice> open(const std::string &path) override;
};

}  // namespace qn::hid
