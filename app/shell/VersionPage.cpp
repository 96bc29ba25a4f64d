#include "shell/VersionPage.h"

namespace versionpage {

namespace {

std::uint8_t byteAt(std::span<const std::uint8_t> reply, std::size_t index)
{
    return index < reply.size() ? reply[index] : 0;
}

} // namespace

std::optional<float> latestVersion(std::span<const std::uint8_t> reply)
{
    if (reply.empty() || (byteAt(reply, 0) != 'D' && byteAt(reply, 1) != 'e'))
        return std::nullopt;
    const double major = byteAt(reply, 12) - '0';
    const double minor = (byteAt(reply, 14) - '0') / 10.0;
    return static_cast<float>(major + minor);
}

} // namespace versionpage
