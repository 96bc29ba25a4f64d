// Arbitrary replies from the update host: the version parse reads nothing past the reply, and
// gives what the reply says when it is held in the check's zero-filled page buffer: nothing
// unless it starts with 'D' or has 'e' second, else (byte 12 - '0') + (byte 14 - '0') / 10.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

#include "shell/VersionPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Exactly the bytes received, so a read past them is caught.
    const std::vector<uint8_t> reply(data, data + std::min(size, versionpage::pageSize));
    std::vector<uint8_t> page(versionpage::pageSize, 0);
    std::copy(reply.begin(), reply.end(), page.begin());

    const std::optional<float> version = versionpage::latestVersion(reply);
    const bool named = !reply.empty() && (page[0] == 'D' || page[1] == 'e');
    assert(version.has_value() == named);
    if (version) {
        const float expected = float((page[12] - '0') + (page[14] - '0') / 10.0);
        assert(*version == expected);
    }
    return 0;
}
