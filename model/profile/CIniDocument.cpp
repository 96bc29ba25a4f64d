#include "profile/CIniDocument.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::string_view utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view utf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view utf16BigEndianMark = "\xFE\xFF";
constexpr char32_t replacementCharacter = 0xFFFD;
constexpr std::string_view blanks = " \t\r\n\v\f";

void appendUtf8(std::string &text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The code point starting at `at` and its length in bytes; a replacement character for one
// byte where no valid (shortest, non-surrogate) sequence starts.
std::pair<char32_t, std::size_t> utf8CodePoint(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t index) { return static_cast<std::uint8_t>(bytes[index]); };
    const std::uint8_t lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size()) return {replacementCharacter, 1};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t index = 1; index < length; ++index) {
        if ((byte(at + index) & 0xC0) != 0x80) return {replacementCharacter, 1};
        code = (code << 6) | (byte(at + index) & 0x3F);
    }
    constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < shortest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
        return {replacementCharacter, 1};
    }
    return {code, length};
}

std::string validUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto [code, length] = utf8CodePoint(bytes, at);
        appendUtf8(text, code);
        at += length;
    }
    return text;
}

std::string fromUtf16(std::string_view bytes, bool littleEndian) {
    const auto unitAt = [&](std::size_t at) -> char32_t {
        const auto first = static_cast<std::uint8_t>(bytes[at]);
        const auto second = static_cast<std::uint8_t>(bytes[at + 1]);
        return littleEndian ? char32_t(first | second << 8) : char32_t(first << 8 | second);
    };
    std::string text;
    std::size_t at = 0;
    for (; at + 1 < bytes.size(); at += 2) {
        const char32_t unit = unitAt(at);
        const bool high = unit >= 0xD800 && unit < 0xDC00;
        const char32_t next = at + 3 < bytes.size() ? unitAt(at + 2) : 0;
        if (high && next >= 0xDC00 && next < 0xE000) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            at += 2;
        } else {
            appendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? replacementCharacter : unit);
        }
    }
    if (at < bytes.size()) appendUtf8(text, replacementCharacter);
    return text;
}

std::string toUtf16(std::string_view text, bool littleEndian) {
    std::string bytes;
    const auto appendUnit = [&](char32_t unit) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    };
    for (std::size_t at = 0; at < text.size();) {
        const auto [code, length] = utf8CodePoint(text, at);
        at += length;
        if (code < 0x10000) {
            appendUnit(code);
        } else {
            appendUnit(0xD800 + ((code - 0x10000) >> 10));
            appendUnit(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return bytes;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return lines;
        start = end + 1;
    }
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isComment(std::string_view trimmedLine) {
    return trimmedLine.starts_with(';') || trimmedLine.starts_with('#');
}

std::optional<std::string_view> sectionName(std::string_view line) {
    const std::string_view lineText = trimmed(line);
    if (!lineText.starts_with('[')) return std::nullopt;
    std::string_view name = lineText.substr(1);
    return trimmed(name.substr(0, name.find(']')));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
    // The value with the blanks that end it, short of the line break.
    std::string_view untrimmedValue;
};

std::string_view withoutLineBreak(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

std::optional<KeyLine> keyLine(std::string_view line) {
    const std::string_view lineText = trimmed(line);
    if (lineText.empty() || isComment(lineText) || lineText.starts_with('[')) return std::nullopt;
    const std::size_t equals = lineText.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view untrimmed = withoutLineBreak(line.substr(line.find('=') + 1));
    const std::size_t firstValue = untrimmed.find_first_not_of(blanks);
    untrimmed =
        firstValue == std::string_view::npos ? std::string_view() : untrimmed.substr(firstValue);
    return KeyLine{trimmed(lineText.substr(0, equals)), trimmed(lineText.substr(equals + 1)),
                   untrimmed};
}

std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

CIniDocument CIniDocument::fromBytes(std::string_view bytes) {
    CIniDocument document;
    document.m_lines.clear();
    if (bytes.starts_with(utf16LittleEndianMark) || bytes.starts_with(utf16BigEndianMark)) {
        const bool littleEndian = bytes.starts_with(utf16LittleEndianMark);
        document.m_encoding = littleEndian ? Encoding::Utf16LittleEndian : Encoding::Utf16BigEndian;
        const std::string text = fromUtf16(bytes.substr(2), littleEndian);
        document.m_crLf = text.find("\r\n") != std::string::npos;
        for (const std::string_view line : splitLines(text))
            document.m_lines.push_back(Line{std::string(line), std::nullopt});
        return document;
    }
    const bool marked = bytes.starts_with(utf8Mark);
    document.m_encoding = marked ? Encoding::Utf8WithMark : Encoding::Utf8;
    document.m_crLf = bytes.find("\r\n") != std::string_view::npos;
    for (const std::string_view line : splitLines(marked ? bytes.substr(3) : bytes))
        document.m_lines.push_back(Line{validUtf8(line), std::string(line)});
    return document;
}

std::string CIniDocument::toBytes() const {
    std::string text;
    const bool utf8 = m_encoding == Encoding::Utf8 || m_encoding == Encoding::Utf8WithMark;
    for (std::size_t index = 0; index < m_lines.size(); ++index) {
        if (index > 0) text += '\n';
        const Line &line = m_lines[index];
        text += utf8 && line.original ? *line.original : line.text;
    }
    switch (m_encoding) {
        case Encoding::Utf8:
            return text;
        case Encoding::Utf8WithMark:
            return std::string(utf8Mark) + text;
        case Encoding::Utf16LittleEndian:
            return std::string(utf16LittleEndianMark) + toUtf16(text, true);
        case Encoding::Utf16BigEndian:
            break;
    }
    return std::string(utf16BigEndianMark) + toUtf16(text, false);
}

std::ptrdiff_t CIniDocument::findSectionHeader(std::string_view section) const {
    for (std::size_t line = 0; line < m_lines.size(); ++line) {
        const auto name = sectionName(m_lines[line].text);
        if (name && sameName(*name, section)) return static_cast<std::ptrdiff_t>(line);
    }
    return -1;
}

std::size_t CIniDocument::sectionEnd(std::size_t headerLine) const {
    std::size_t line = headerLine + 1;
    while (line < m_lines.size() && !sectionName(m_lines[line].text)) ++line;
    return line;
}

std::ptrdiff_t CIniDocument::findKey(std::size_t headerLine, std::string_view key) const {
    const std::size_t end = sectionEnd(headerLine);
    for (std::size_t line = headerLine + 1; line < end; ++line) {
        const auto entry = keyLine(m_lines[line].text);
        if (entry && sameName(entry->key, key)) return static_cast<std::ptrdiff_t>(line);
    }
    return -1;
}

std::optional<std::string> CIniDocument::value(std::string_view section, std::string_view key,
                                               Trailing trailing) const {
    const std::ptrdiff_t header = findSectionHeader(section);
    if (header < 0) return std::nullopt;
    const std::ptrdiff_t line = findKey(static_cast<std::size_t>(header), key);
    if (line < 0) return std::nullopt;
    const KeyLine entry = *keyLine(m_lines[static_cast<std::size_t>(line)].text);
    const std::string_view unquoted = withoutQuotes(entry.value);
    if (trailing == Trailing::Keep && unquoted.size() == entry.value.size()) {
        return std::string(entry.untrimmedValue);
    }
    return std::string(unquoted);
}

std::string CIniDocument::lineWithEnding(std::string content) const {
    if (m_crLf) content += '\r';
    return content;
}

void CIniDocument::insertLines(std::size_t at, const std::vector<std::string> &lines) {
    // Appending after a last line without a line break: end the document with one again.
    const bool appendingAfterOpenLine = at == m_lines.size();
    for (std::size_t index = 0; index < lines.size(); ++index) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at + index),
                       Line{lines[index], std::nullopt});
    }
    if (appendingAfterOpenLine) m_lines.push_back(Line{});
}

void CIniDocument::setValue(std::string_view section, std::string_view key,
                            std::string_view value) {
    std::string singleLineValue = validUtf8(value);
    std::ranges::replace(singleLineValue, '\r', ' ');
    std::ranges::replace(singleLineValue, '\n', ' ');
    const std::string entry = lineWithEnding(std::string(key) + '=' + singleLineValue);

    const std::ptrdiff_t header = findSectionHeader(section);
    if (header < 0) {
        // A document that ends with a line break has an empty last element; keep it last.
        const std::size_t at = m_lines.back().text.empty() ? m_lines.size() - 1 : m_lines.size();
        insertLines(at, {lineWithEnding('[' + std::string(section) + ']'), entry});
        return;
    }
    const auto headerLine = static_cast<std::size_t>(header);
    const std::ptrdiff_t existing = findKey(headerLine, key);
    if (existing >= 0) {
        m_lines[static_cast<std::size_t>(existing)] = Line{entry, std::nullopt};
        return;
    }
    // New keys go after the section's last key, so blank lines and comments that separate it
    // from the next section stay where they are.
    std::size_t insertAfter = headerLine;
    const std::size_t end = sectionEnd(headerLine);
    for (std::size_t line = headerLine + 1; line < end; ++line) {
        if (keyLine(m_lines[line].text)) insertAfter = line;
    }
    insertLines(insertAfter + 1, {entry});
}
