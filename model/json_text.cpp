#include "json_text.h"

#include <algorithm>
#include <cstdio>

namespace jsontext {

namespace {

// The length of the whole UTF-8 sequence starting at `at`, or 0 when it is not one.
size_t utf8Length(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead >= 0xF5 || at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

bool isPlain(unsigned char c) {
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

}  // namespace

std::string quoted(std::string_view text) {
    // Serial numbers, EPCs and times need no escape: one copy (streams write millions).
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return isPlain(static_cast<unsigned char>(c)); })) {
        std::string out;
        out.reserve(text.size() + 2);
        out += '"';
        out += text;
        out += '"';
        return out;
    }
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const size_t length = utf8Length(text, i)) {
            out.append(text, i, length);
            i += length - 1;
        } else {
            out += "\xEF\xBF\xBD";
        }
    }
    return out + "\"";
}

}  // namespace jsontext
