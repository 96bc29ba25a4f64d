// The text of one INI file with private-profile semantics: named sections, case-insensitive
// section and key names, a default for a missing key, and writes that add the section or key
// as needed. Qt-free, shared by the program and the tools.
//
// This is our own small class rather than SimpleIni: SimpleIni saves by re-serialising the
// whole document (it normalises spacing around '=', re-emits comments its own way and drops
// lines it does not understand), so a single write would disturb the rest of a hand-edited
// file. Here a write edits exactly one line and every other byte of the file stays as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Kept line by line so it can be written back unchanged. Reading: the first section and the
// first key of a name count (names compare without regard to ASCII case); lines starting with
// ';' or '#' are comments; names and values are trimmed of blanks, and a value in matching
// quotes loses them. Texts are UTF-8.
class CIniDocument {
  public:
    // What a read does with the blanks that end an unquoted value. Trimming is the profile
    // reading of configuration and language texts; a text whose final space carries meaning
    // (a spaced-hex record) is read with its trailing blanks kept.
    enum class Trailing { Trim, Keep };

    // Decodes UTF-8 (with or without byte-order mark) or UTF-16 with a byte-order mark.
    // Invalid byte sequences read as replacement characters; parsing never fails.
    static CIniDocument fromBytes(std::string_view bytes);
    // Encodes in the encoding the document was read in (UTF-8 without mark for a new file).
    std::string toBytes() const;

    // With Trailing::Keep only the blanks after '=' and the line break go; a value in matching
    // quotes still loses them and whatever blanks stand outside them.
    std::optional<std::string> value(std::string_view section, std::string_view key,
                                     Trailing trailing = Trailing::Trim) const;
    // Replaces the key's line, or adds the key at the end of its section, or adds the section
    // at the end of the document. Line breaks inside the value become spaces.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

  private:
    enum class Encoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

    struct Line {
        // Valid UTF-8.
        std::string text;
        // The line's bytes as read from a UTF-8 file, so that an untouched line is written back
        // byte for byte even when it holds invalid UTF-8; none for new or changed lines.
        std::optional<std::string> original;
    };

    std::ptrdiff_t findSectionHeader(std::string_view section) const;
    std::size_t sectionEnd(std::size_t headerLine) const;
    std::ptrdiff_t findKey(std::size_t headerLine, std::string_view key) const;
    std::string lineWithEnding(std::string content) const;
    void insertLines(std::size_t at, const std::vector<std::string> &lines);

    // Lines split at '\n'; a '\r' before the '\n' stays part of the line.
    std::vector<Line> m_lines{Line()};
    bool m_crLf = false;
    Encoding m_encoding = Encoding::Utf8;
};
