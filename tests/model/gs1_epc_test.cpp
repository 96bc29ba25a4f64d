// GS1 identities behind EPCs. The hex of every table below except the worked example was built
// by hand from the bit layouts (header, filter, partition, company prefix, reference, serial)
// with this Python snippet, independent of the decoder:
//
//   def epc(*fields):                    # (value, bits) or ('text', s, bits)
//       v = n = 0
//       for f in fields:
//           if f[0] == 'text':           # 7-bit characters, zero-filled to the field's width
//               val = 0
//               for ch in f[1]: val = val << 7 | ord(ch)
//               f = (val << (f[2] - 7 * len(f[1])), f[2])
//           v = v << f[1] | f[0]; n += f[1]
//       pad = -n % 16                    # tags hold whole 16-bit words
//       return format(v << pad, '0%dX' % ((n + pad) // 4))
//
//   epc((0x30,8), (1,3), (5,3), (614141,24), (812345,20), (6789,38))  # first row below
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "gs1_epc.h"

namespace {

using gs1::Scheme;

// The URI, or empty when the EPC decodes to nothing (a real URI is never empty).
std::string uriOf(std::string_view hex) {
    const std::optional<gs1::Identity> identity = gs1::decodeHex(hex);
    return identity ? identity->uri : std::string();
}

std::vector<std::uint8_t> bytesOf(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), 0, 16)));
    return bytes;
}

std::string lowerCase(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Tag Data Standard, Appendix E (encoding and decoding an SGTIN-96), both directions.
TEST(Gs1Epc, DecodesTheWorkedExample) {
    const auto identity = gs1::decodeHex("3074257BF7194E4000001A85");
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->uri, "urn:epc:id:sgtin:0614141.812345.6789");
    EXPECT_EQ(identity->filter, 3);
    EXPECT_EQ(gs1::schemeName(identity->scheme), "sgtin-96");
}

// Every scheme, with leading zeros, empty references (12-digit company prefixes) and the
// largest numbers. The SSCC, SGLN, GRAI, GIAI and GID rows with 0614141 / 95100000 carry the
// pure-identity URIs the Tag Data Standard gives as examples for each scheme (section 6.3).
TEST(Gs1Epc, DecodesEncodingsBuiltByHand) {
    struct Case {
        std::string hex;
        Scheme scheme;
        std::optional<std::uint8_t> filter;
        std::string companyPrefix, reference, serial, uri;
    };
    const Case cases[] = {
        {"3034257BF7194E4000001A85", Scheme::Sgtin96, 1, "0614141", "812345", "6789",
         "urn:epc:id:sgtin:0614141.812345.6789"},
        {"30F801348000030000000000", Scheme::Sgtin96, 7, "001234", "0000012", "0",
         "urn:epc:id:sgtin:001234.0000012.0"},
        {"3003A352943FFE7FFFFFFFFF", Scheme::Sgtin96, 0, "999999999999", "9", "274877906943",
         "urn:epc:id:sgtin:999999999999.9.274877906943"},
        {"3154257BF4499602D2000000", Scheme::Sscc96, 2, "0614141", "1234567890", "",
         "urn:epc:id:sscc:0614141.1234567890"},
        {"31C000000000040007000000", Scheme::Sscc96, 6, "000000000001", "00007", "",
         "urn:epc:id:sscc:000000000001.00007"},
        {"3214257BF460720000000190", Scheme::Sgln96, 0, "0614141", "12345", "400",
         "urn:epc:id:sgln:0614141.12345.400"},
        {"32223BF6A76E000000000000", Scheme::Sgln96, 1, "614141123456", "", "0",
         "urn:epc:id:sgln:614141123456..0"},
        {"3314257BF40C0E4000000190", Scheme::Grai96, 0, "0614141", "12345", "400",
         "urn:epc:id:grai:0614141.12345.400"},
        {"33023BF6A76E003FFFFFFFFF", Scheme::Grai96, 0, "614141123456", "", "274877906943",
         "urn:epc:id:grai:614141123456..274877906943"},
        {"3414257BF400000000BC6038", Scheme::Giai96, 0, "0614141", "12345400", "",
         "urn:epc:id:giai:0614141.12345400"},
        {"343A57BF7FFFFFFFFFFFFFFF", Scheme::Giai96, 1, "614141", "4611686018427387903", "",
         "urn:epc:id:giai:614141.4611686018427387903"},
        {"355AB1C60003039000000190", Scheme::Gid96, std::nullopt, "95100000", "12345", "400",
         "urn:epc:id:gid:95100000.12345.400"},
        {"35FFFFFFFFFFFFFFFFFFFFFF", Scheme::Gid96, std::nullopt, "268435455", "16777215",
         "68719476735", "urn:epc:id:gid:268435455.16777215.68719476735"},
        {"3674257BF7194E59B2C2BF100000000000000000000000000000", Scheme::Sgtin198, 3, "0614141",
         "812345", "32a/b", "urn:epc:id:sgtin:0614141.812345.32a%2Fb"},
        {"361A57BF400000583062C8000000000000000000000000000000", Scheme::Sgtin198, 0, "614141",
         "0000001", "0012", "urn:epc:id:sgtin:614141.0000001.0012"},
        {"3814257BF60B15F09F8000000000000000000000000000000000", Scheme::Giai202, 0, "0614141",
         "A1/B?", "", "urn:epc:id:giai:0614141.A1%2FB%3F"},
        {"38223BF69FE502C58B162C58B162C58B162C58B162C580000000", Scheme::Giai202, 1, "614141000000",
         "XXXXXXXXXXXXXXXXXX", "", "urn:epc:id:giai:614141000000.XXXXXXXXXXXXXXXXXX"},
    };
    for (const Case &c : cases) {
        const auto identity = gs1::decodeHex(c.hex);
        ASSERT_TRUE(identity) << c.hex;
        EXPECT_EQ(identity->scheme, c.scheme) << c.hex;
        EXPECT_EQ(identity->filter, c.filter) << c.hex;
        EXPECT_EQ(identity->companyPrefix, c.companyPrefix) << c.hex;
        EXPECT_EQ(identity->reference, c.reference) << c.hex;
        EXPECT_EQ(identity->serial, c.serial) << c.hex;
        EXPECT_EQ(identity->uri, c.uri) << c.hex;
        EXPECT_EQ(uriOf(lowerCase(c.hex)), c.uri) << c.hex;
        const auto fromBytes = gs1::decode(bytesOf(c.hex));
        ASSERT_TRUE(fromBytes) << c.hex;
        EXPECT_EQ(fromBytes->uri, c.uri) << c.hex;
    }
}

// Each partition value: the largest (SGTIN) or smallest full-width (SSCC) company prefix and
// reference its digits allow decode; one more than the digits allow, or partition 7, decodes to
// nothing.
TEST(Gs1Epc, EveryPartitionValue) {
    const std::pair<std::string, std::string> cases[] = {
        {"3023A352943FFE4000000005", "urn:epc:id:sgtin:999999999999.9.5"},
        {"3023A3529440000000000005", ""},  // company prefix 10^12
        {"302000000000028000000005", ""},  // item reference 10
        {"3026E90EDCFFF8C000000005", "urn:epc:id:sgtin:99999999999.99.5"},
        {"3026E90EDD00000000000005", ""},
        {"302400000000190000000005", ""},
        {"302A540BE3FFF9C000000005", "urn:epc:id:sgtin:9999999999.999.5"},
        {"302A540BE400000000000005", ""},
        {"302800000000FA0000000005", ""},
        {"302FB9AC9FF9C3C000000005", "urn:epc:id:sgtin:999999999.9999.5"},
        {"302FB9ACA000000000000005", ""},
        {"302C00000009C40000000005", ""},
        {"3032FAF07FE1A7C000000005", "urn:epc:id:sgtin:99999999.99999.5"},
        {"3032FAF08000000000000005", ""},
        {"303000000061A80000000005", ""},
        {"30366259FFD08FC000000005", "urn:epc:id:sgtin:9999999.999999.5"},
        {"3036625A0000000000000005", ""},
        {"3034000003D0900000000005", ""},
        {"303BD08FE6259FC000000005", "urn:epc:id:sgtin:999999.9999999.5"},
        {"303BD0900000000000000005", ""},
        {"303800002625A00000000005", ""},
        {"303C00000000000000000005", ""},  // partition 7
        {"31405D21DBA0002710000000", "urn:epc:id:sscc:100000000000.10000"},
        {"3140000000000186A0000000", ""},  // serial reference 10^5
        {"31444A817C800186A0000000", "urn:epc:id:sscc:10000000000.100000"},
        {"3144000000000F4240000000", ""},
        {"31483B9ACA000F4240000000", "urn:epc:id:sscc:1000000000.1000000"},
        {"314800000000989680000000", ""},
        {"314C5F5E1000989680000000", "urn:epc:id:sscc:100000000.10000000"},
        {"314C00000005F5E100000000", ""},
        {"31504C4B4005F5E100000000", "urn:epc:id:sscc:10000000.100000000"},
        {"31500000003B9ACA00000000", ""},
        {"31543D09003B9ACA00000000", "urn:epc:id:sscc:1000000.1000000000"},
        {"3154000002540BE400000000", ""},
        {"315861A802540BE400000000", "urn:epc:id:sscc:100000.10000000000"},
        {"31580000174876E800000000", ""},
        {"315C00000000000000000000", ""},  // partition 7
    };
    for (const auto &[hex, uri] : cases) EXPECT_EQ(uriOf(hex), uri) << hex;
}

// Not a known scheme, the wrong length for the header, bits that must be zero and are not,
// text that is not hex: nothing, never a wrong identity.
TEST(Gs1Epc, MalformedEpcsDecodeToNothing) {
    const std::string refused[] = {
        "",
        "30",
        "E2000017220A010000000001",                              // not a GS1 header
        "0074257BF7194E4000001A85",                              // header 00
        "3774257BF7194E4000001A85",                              // GRAI-170: not decoded here
        "3074257BF7194E4000001A",                                // 88 bits
        "3074257BF7194E4000001A8500",                            // 104 bits
        "3074257BF7194E4000001A850000",                          // 112 bits
        "3674257BF7194E59B2C2BF10",                              // SGTIN-198 in 96 bits
        "3674257BF7194E59B2C2BF100000000000000000000000000001",  // padding bit set
        "3154257BF4499602D2000001",                              // SSCC reserved bit set
        "32223BF6A76E020000000000",  // SGLN: location reference bit with no digit
        "33023BF6A76E004000000005",  // GRAI: asset type bits with no digit
        "3074257BF7194E4000001A8",   // odd length
        "3074257BF7194E4000001A8G",
        "3074257BF7194E4000001A8 ",
        " 3074257BF7194E4000001A85",
        "0x3074257BF7194E4000001A85",
        std::string(200, '3'),
    };
    for (const std::string &hex : refused) {
        EXPECT_EQ(gs1::decodeHex(hex), std::nullopt) << hex;
        const bool isHex = hex.find_first_not_of("0123456789ABCDEF") == std::string::npos;
        if (isHex && hex.size() % 2 == 0) {
            EXPECT_EQ(gs1::decode(bytesOf(hex)), std::nullopt) << hex;
        }
    }
}

// Alphanumeric serials and asset references: characters URIs reserve are %-escaped, the other
// permitted ones stay; empty, too long, characters outside the permitted set, or a character
// after the terminating zero: nothing.
TEST(Gs1Epc, AlphanumericsAreCheckedAndEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"3674257BF7194E51254CBDE3E7E0000000000000000000000000",
         "urn:epc:id:sgtin:0614141.812345.%22%25%26%2F%3C%3E%3F"},
        {"3674257BF7194E50A750A552B58B573A76F6F800000000000000",
         "urn:epc:id:sgtin:0614141.812345.!'()*+,-.:;=_"},
        {"3674257BF7194E60DAC3E9839F1E3C78F1E3C78F1E3C78F1E000",  // 20 characters: full
         "urn:epc:id:sgtin:0614141.812345.AZaz09xxxxxxxxxxxxxx"},
        {"381A57BF583164CDA356CDDC39C38B1E4CB9B3E8D3A9E3E7EBC0",  // 24 characters: full
         "urn:epc:id:giai:614141.0123456789abcdefghij%3C%3E%3F%2F"},
        {"3674257BF7194E40000000000000000000000000000000000000", ""},  // empty serial
        {"3674257BF7194E70A0C400000000000000000000000000000000", ""},  // "a b"
        {"3674257BF7194E70A30000000000000000000000000000000000", ""},  // "a#"
        {"3674257BF7194E70FE0000000000000000000000000000000000", ""},  // "a~"
        {"3674257BF7194E7F800000000000000000000000000000000000", ""},  // DEL
        {"3674257BF7194E70810000000000000000000000000000000000", ""},  // control character
        {"3674257BF7194E7080C400000000000000000000000000000000", ""},  // "a", zero, "b"
        {"38023BF69FE502C58B162C58B162C58B162C58B162C58B000000", ""},  // 19 after 12 digits
        {"3814257BF4000000000000000000000000000000000000000000", ""},  // empty reference
    };
    for (const auto &[hex, uri] : cases) EXPECT_EQ(uriOf(hex), uri) << hex;
}

}  // namespace
