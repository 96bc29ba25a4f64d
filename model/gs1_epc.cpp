#include "gs1_epc.h"

#include <algorithm>
#include <array>

#include "hex_text.h"

namespace gs1 {

namespace {

// One row of a partition table: how the bits after the partition value divide between the
// company prefix and the reference, and how many decimal digits (characters, for an
// alphanumeric reference) each may hold.
struct Partition {
    int companyBits;
    int companyDigits;
    int referenceBits;
    int referenceDigits;
};
// Partition values 0..6; 7 is never valid.
using PartitionTable = std::array<Partition, 7>;

constexpr PartitionTable sgtinPartitions{{{40, 12, 4, 1},
                                          {37, 11, 7, 2},
                                          {34, 10, 10, 3},
                                          {30, 9, 14, 4},
                                          {27, 8, 17, 5},
                                          {24, 7, 20, 6},
                                          {20, 6, 24, 7}}};
constexpr PartitionTable ssccPartitions{{{40, 12, 18, 5},
                                         {37, 11, 21, 6},
                                         {34, 10, 24, 7},
                                         {30, 9, 28, 8},
                                         {27, 8, 31, 9},
                                         {24, 7, 34, 10},
                                         {20, 6, 38, 11}}};
// A 12-digit company prefix leaves no digit for the location reference: its one bit must be 0.
constexpr PartitionTable sglnPartitions{{{40, 12, 1, 0},
                                         {37, 11, 4, 1},
                                         {34, 10, 7, 2},
                                         {30, 9, 11, 3},
                                         {27, 8, 14, 4},
                                         {24, 7, 17, 5},
                                         {20, 6, 21, 6}}};
constexpr PartitionTable graiPartitions{{{40, 12, 4, 0},
                                         {37, 11, 7, 1},
                                         {34, 10, 10, 2},
                                         {30, 9, 14, 3},
                                         {27, 8, 17, 4},
                                         {24, 7, 20, 5},
                                         {20, 6, 24, 6}}};
constexpr PartitionTable giai96Partitions{{{40, 12, 42, 13},
                                           {37, 11, 45, 14},
                                           {34, 10, 48, 15},
                                           {30, 9, 52, 16},
                                           {27, 8, 55, 17},
                                           {24, 7, 58, 18},
                                           {20, 6, 62, 19}}};
// A GIAI holds at most 30 characters, company prefix included.
constexpr PartitionTable giai202Partitions{{{40, 12, 148, 18},
                                            {37, 11, 151, 19},
                                            {34, 10, 154, 20},
                                            {30, 9, 158, 21},
                                            {27, 8, 161, 22},
                                            {24, 7, 164, 23},
                                            {20, 6, 168, 24}}};

// How the reference is written: zero-padded to its digits, a plain number, or characters.
enum class ReferenceForm { Padded, Number, Text };
// What follows the reference: nothing, a numeric serial, reserved zero bits, or a serial of
// characters.
enum class Tail { None, Number, Reserved, Text };

struct Layout {
    Scheme scheme;
    std::string_view name;
    std::uint8_t header;
    int bits;
    std::string_view uriName;
    const PartitionTable *partitions;  // none for GID-96
    ReferenceForm referenceForm;
    Tail tail;
    int tailBits;
};

constexpr std::array<Layout, 8> layouts{{
    {Scheme::Sgtin96, "sgtin-96", 0x30, 96, "sgtin", &sgtinPartitions, ReferenceForm::Padded,
     Tail::Number, 38},
    {Scheme::Sscc96, "sscc-96", 0x31, 96, "sscc", &ssccPartitions, ReferenceForm::Padded,
     Tail::Reserved, 24},
    {Scheme::Sgln96, "sgln-96", 0x32, 96, "sgln", &sglnPartitions, ReferenceForm::Padded,
     Tail::Number, 41},
    {Scheme::Grai96, "grai-96", 0x33, 96, "grai", &graiPartitions, ReferenceForm::Padded,
     Tail::Number, 38},
    {Scheme::Giai96, "giai-96", 0x34, 96, "giai", &giai96Partitions, ReferenceForm::Number,
     Tail::None, 0},
    {Scheme::Gid96, "gid-96", 0x35, 96, "gid", nullptr, ReferenceForm::Number, Tail::Number, 36},
    {Scheme::Sgtin198, "sgtin-198", 0x36, 198, "sgtin", &sgtinPartitions, ReferenceForm::Padded,
     Tail::Text, 140},
    {Scheme::Giai202, "giai-202", 0x38, 202, "giai", &giai202Partitions, ReferenceForm::Text,
     Tail::None, 0},
}};

// Header, filter and partition value come first in every partitioned scheme.
constexpr int filterAt = 8;
constexpr int partitionAt = 11;
constexpr int companyAt = 14;
// GID-96: general manager number, object class, serial.
constexpr int gidManagerBits = 28;
constexpr int gidClassBits = 24;
constexpr int characterBits = 7;

// Tags hold whole 16-bit words: the two longer schemes end in zero padding, which their
// character parts, the last field of each, check along with their own trailing zeros.
constexpr std::size_t byteLength(int bits) {
    return static_cast<std::size_t>((bits + 15) / 16 * 2);
}
constexpr std::size_t longestEpcBytes = byteLength(202);

constexpr std::array<std::uint64_t, 20> powersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t &entry : powers) {
        entry = power;
        power *= 10;
    }
    return powers;
}();

// `count` (at most 64) bits from bit `first` on, most significant first. Up to 56 bits span at
// most 8 bytes, which one 64-bit window holds.
std::uint64_t bitsAt(std::span<const std::uint8_t> epc, int first, int count) {
    if (count > 56) {
        return bitsAt(epc, first, count - 32) << 32 | bitsAt(epc, first + count - 32, 32);
    }
    const int end = first + count;
    const int endByte = (end + 7) / 8;
    std::uint64_t window = 0;
    for (int byte = first / 8; byte < endByte; ++byte)
        window = window << 8 | epc[static_cast<std::size_t>(byte)];
    return (window >> (endByte * 8 - end)) & ((std::uint64_t{1} << count) - 1);
}

bool zeroFrom(std::span<const std::uint8_t> epc, int first) {
    const int end = static_cast<int>(epc.size()) * 8;
    for (int bit = first; bit < end; bit += 64) {
        if (bitsAt(epc, bit, std::min(64, end - bit)) != 0) return false;
    }
    return true;
}

// At least `digits` digits, zero-padded; written backwards into a small buffer, so no
// temporary strings on this hot path. A reference of no digits (value 0) is the empty text.
std::string decimal(std::uint64_t value, int digits) {
    char buffer[20];
    char *first = buffer + sizeof buffer;
    for (int written = 0; value != 0 || written < digits; ++written) {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return std::string(first, buffer + sizeof buffer);
}

// The characters a GS1 serial or asset reference may hold (82 of printable ASCII).
bool permittedCharacter(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return std::string_view("!\"%&'()*+,-./:;<=>?_").find(c) != std::string_view::npos;
}

// Characters of 7 bits each until the first zero one; everything after it (to the end of the
// EPC, padding included) must be zero. Empty, too long or with a character outside the
// permitted ones: false.
bool readText(std::span<const std::uint8_t> epc, int first, int bits, int maxCharacters,
              std::string &text) {
    int at = first;
    for (; at + characterBits <= first + bits; at += characterBits) {
        const auto c = static_cast<char>(bitsAt(epc, at, characterBits));
        if (c == 0) break;
        if (!permittedCharacter(c)) return false;
        text += c;
    }
    return !text.empty() && static_cast<int>(text.size()) <= maxCharacters && zeroFrom(epc, at);
}

bool reservedInUris(char c) {
    switch (c) {
        case '"':
        case '%':
        case '&':
        case '/':
        case '<':
        case '>':
        case '?':
            return true;
        default:
            return false;
    }
}

// The longest URI has 95 characters: "urn:epc:id:giai:", a 6-digit company prefix, a dot and
// 24 characters of a GIAI-202 reference, every one escaped.
constexpr std::size_t longestUri = 128;

// Appends to a fixed buffer, so the URI string is made once at its final size.
class UriText {
  public:
    void append(std::string_view text) {
        for (const char c : text) data_[size_++] = c;
    }
    void append(char c) { data_[size_++] = c; }
    // Characters that would end or split a URI part are written %XX.
    void appendEscaped(std::string_view text) {
        for (const char c : text) {
            if (!reservedInUris(c)) {
                data_[size_++] = c;
                continue;
            }
            data_[size_++] = '%';
            data_[size_++] = hextext::highDigit(static_cast<std::uint8_t>(c));
            data_[size_++] = hextext::lowDigit(static_cast<std::uint8_t>(c));
        }
    }
    std::string text() const { return std::string(data_.data(), size_); }

  private:
    std::array<char, longestUri> data_;
    std::size_t size_ = 0;
};

void buildUri(const Layout &layout, Identity &identity) {
    UriText uri;
    uri.append("urn:epc:id:");
    uri.append(layout.uriName);
    uri.append(':');
    uri.append(identity.companyPrefix);
    uri.append('.');
    uri.appendEscaped(identity.reference);
    if (layout.tail == Tail::Number || layout.tail == Tail::Text) {
        uri.append('.');
        uri.appendEscaped(identity.serial);
    }
    identity.uri = uri.text();
}

bool readReference(const Layout &layout, const Partition &partition,
                   std::span<const std::uint8_t> epc, int at, std::string &reference) {
    if (layout.referenceForm == ReferenceForm::Text)
        return readText(epc, at, partition.referenceBits, partition.referenceDigits, reference);
    const std::uint64_t value = bitsAt(epc, at, partition.referenceBits);
    if (value >= powersOfTen[static_cast<std::size_t>(partition.referenceDigits)]) return false;
    reference = layout.referenceForm == ReferenceForm::Padded
                    ? decimal(value, partition.referenceDigits)
                    : decimal(value, 1);
    return true;
}

bool readTail(const Layout &layout, std::span<const std::uint8_t> epc, int at,
              std::string &serial) {
    switch (layout.tail) {
        case Tail::None:
            return true;
        case Tail::Reserved:
            return bitsAt(epc, at, layout.tailBits) == 0;
        case Tail::Number:
            serial = decimal(bitsAt(epc, at, layout.tailBits), 1);
            return true;
        case Tail::Text:
            return readText(epc, at, layout.tailBits, layout.tailBits / characterBits, serial);
    }
    return false;
}

std::optional<Identity> decodePartitioned(const Layout &layout, std::span<const std::uint8_t> epc) {
    const std::uint64_t partitionValue = bitsAt(epc, partitionAt, 3);
    if (partitionValue >= layout.partitions->size()) return std::nullopt;
    const Partition &partition = (*layout.partitions)[partitionValue];
    const std::uint64_t company = bitsAt(epc, companyAt, partition.companyBits);
    if (company >= powersOfTen[static_cast<std::size_t>(partition.companyDigits)])
        return std::nullopt;
    Identity identity;
    identity.scheme = layout.scheme;
    identity.filter = static_cast<std::uint8_t>(bitsAt(epc, filterAt, 3));
    identity.companyPrefix = decimal(company, partition.companyDigits);
    const int referenceAt = companyAt + partition.companyBits;
    if (!readReference(layout, partition, epc, referenceAt, identity.reference))
        return std::nullopt;
    if (!readTail(layout, epc, referenceAt + partition.referenceBits, identity.serial))
        return std::nullopt;
    buildUri(layout, identity);
    return identity;
}

Identity decodeGid(const Layout &layout, std::span<const std::uint8_t> epc) {
    Identity identity;
    identity.scheme = Scheme::Gid96;
    identity.companyPrefix = decimal(bitsAt(epc, 8, gidManagerBits), 1);
    identity.reference = decimal(bitsAt(epc, 8 + gidManagerBits, gidClassBits), 1);
    identity.serial = decimal(bitsAt(epc, 8 + gidManagerBits + gidClassBits, layout.tailBits), 1);
    buildUri(layout, identity);
    return identity;
}

}  // namespace

std::string_view schemeName(Scheme scheme) {
    for (const Layout &layout : layouts)
        if (layout.scheme == scheme) return layout.name;
    return {};
}

std::optional<Identity> decode(std::span<const std::uint8_t> epc) {
    if (epc.empty()) return std::nullopt;
    for (const Layout &layout : layouts) {
        if (layout.header != epc[0]) continue;
        if (epc.size() != byteLength(layout.bits)) return std::nullopt;
        if (layout.partitions == nullptr) return decodeGid(layout, epc);
        return decodePartitioned(layout, epc);
    }
    return std::nullopt;
}

std::optional<Identity> decodeHex(std::string_view hex) {
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() > 2 * longestEpcBytes) return std::nullopt;
    std::array<std::uint8_t, longestEpcBytes> bytes{};
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hextext::digitValue(static_cast<unsigned char>(hex[i]));
        const int low = hextext::digitValue(static_cast<unsigned char>(hex[i + 1]));
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i / 2] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return decode(std::span(bytes.data(), hex.size() / 2));
}

}  // namespace gs1
