// Real CH9326 bridges through hidapi on the hidraw backend.
#pragma once

#include "hid_bus.h"

namespace qn::hid {

class HidapiBus final : public HidBus {
  public:
    std::vector<std::string> enumerate(size_t limit, const std::string &livePath) override;
    std::unique_ptr<HidDevice> open(const std::string &path) override;
};

}  // namespace qn::hid
