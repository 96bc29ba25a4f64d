// GS1 identities behind EPCs: the pure-identity URI (urn:epc:id:...) and the fields of an
// SGTIN-96, SSCC-96, SGLN-96, GRAI-96, GIAI-96, GID-96, SGTIN-198 or GIAI-202 EPC. Qt-free and
// allocation-free beyond the result's strings, so every tag list, the command-line tool and the
// gateway can decode every sighting.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace gs1 {

enum class Scheme { Sgtin96, Sscc96, Sgln96, Grai96, Giai96, Gid96, Sgtin198, Giai202 };

// The scheme's name as tag URIs write it: "sgtin-96", "giai-202", ...
std::string_view schemeName(Scheme scheme);

struct Identity {
    Scheme scheme = Scheme::Sgtin96;
    // None for GID-96, which has no filter.
    std::optional<std::uint8_t> filter;
    // Zero-padded to the digits its partition gives; GID-96: the general manager number.
    std::string companyPrefix;
    // Item reference with its indicator digit, serial reference, location reference, asset
    // type or individual asset reference, padded where the URI pads it; GID-96: the object
    // class. Alphanumeric references are the plain characters, unescaped.
    std::string reference;
    // Serial number, or the GLN extension of an SGLN; empty for SSCC and GIAI, which have none.
    // Alphanumeric serials are the plain characters, unescaped.
    std::string serial;
    // urn:epc:id:<scheme>:<fields>, alphanumeric parts percent-escaped where URIs need it.
    std::string uri;
};

// Nothing unless the EPC is exactly one of the schemes above: a known header, the length that
// header prescribes, a valid partition, every number within its decimal digits, reserved and
// padding bits zero, and alphanumeric parts of permitted characters only. Never a wrong identity.
std::optional<Identity> decode(std::span<const std::uint8_t> epc);

// The same from hex text (upper or lower case, nothing else); nothing for text that is not hex.
std::optional<Identity> decodeHex(std::string_view hex);

}  // namespace gs1
