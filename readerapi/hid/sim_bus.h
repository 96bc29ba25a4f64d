// Simulated bridges for tests and demonstrations: each entry of QNHID_SIM
// ("host:port,host:port") is a TCP endpoint carrying fixed 33-byte reports both ways. A
// device is present while its endpoint accepts a connection; the stream closing is an unplug.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <set>

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

// Endpoints this bus has open or is opening: a listing never probes them, so one transport's
// listing cannot take a simulator away from another transport on the same bus.
class HeldPaths {
  public:
    void add(const std::string &path);
    void remove(const std::string &path);
    bool contains(const std::string &path) const;

  private:
    mutable std::mutex mutex_;
    std::multiset<std::string> paths_;
};

class SimBus final : public HidBus {
  public:
    std::vector<std::string> enumerate(size_t limit, const std::string &livePath) override;
    std::unique_ptr<HidDevice> open(const std::string &path) override;

  private:
    std::shared_ptr<HeldPaths> held_ = std::make_shared<HeldPaths>();
};

}  // namespace qn::hid
