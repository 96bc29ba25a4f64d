#include "port_name.h"

#include <cctype>
#include <charconv>

namespace qn {

std::string dropTrailingNonDigit(std::string name) {
    if (!name.empty() && !std::isdigit(static_cast<unsigned char>(name.back()))) name.pop_back();
    return name;
}

std::string devicePathForPortName(const std::string &name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return name;
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
        unsigned number = 0;
        const char *first = name.data() + 3;
        const char *last = name.data() + name.size();
        const auto [end, error] = std::from_chars(first, last, number);
        if (error == std::errc() && end == last && number >= 1) {
            return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return "/dev/" + name;
}

}  // namespace qn
