#include "profile/CIniFile.h"

#include "profile/safe_write.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

bool CIniFile::exists() const {
    std::error_code ignored;
    return std::filesystem::exists(m_path, ignored);
}

CIniDocument CIniFile::load() const {
    std::ifstream file(m_path, std::ios::binary);
    if (!file) return CIniDocument();
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return CIniDocument::fromBytes(bytes);
}

int CIniFile::leadingDecimal(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
    long long number = 0;
    for (std::size_t at = first; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') break;
        number = number * 10 + (text[at] - '0');
        if (number > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    }
    return static_cast<int>(number);
}

std::string CIniFile::leftCharacters(std::string_view text, std::size_t maxLength) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        // Every byte but a continuation byte starts a character.
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
        if (characters++ == maxLength) return std::string(text.substr(0, at));
    }
    return std::string(text);
}

int CIniFile::readInt(std::string_view section, std::string_view key) const {
    const auto value = load().value(section, key);
    return value ? leadingDecimal(*value) : 0;
}

std::string CIniFile::readText(std::string_view section, std::string_view key,
                               std::size_t maxLength, CIniDocument::Trailing trailing) const {
    return textOf(load(), section, key, maxLength, trailing);
}

std::string CIniFile::textOf(const CIniDocument &document, std::string_view section,
                             std::string_view key, std::size_t maxLength,
                             CIniDocument::Trailing trailing) {
    const auto value = document.value(section, key, trailing);
    return value ? leftCharacters(*value, maxLength) : std::string(missingText);
}

bool CIniFile::writeText(std::string_view section, std::string_view key,
                         std::string_view value) const {
    CIniDocument document = load();
    document.setValue(section, key, value);
    return safewrite::replace(m_path, document.toBytes(), safewrite::AtLink::ReplaceTarget).empty();
}
