// One INI file on disk, read at every call and written at every write, as private-profile
// functions do; nothing is cached, so the file is always the truth. Qt-free.
#pragma once

#include "profile/CIniDocument.h"

#include <string>
#include <string_view>

class CIniFile {
  public:
    explicit CIniFile(std::string path);

    const std::string &path() const { return m_path; }
    void setPath(std::string path) { m_path = std::move(path); }
    bool exists() const;

    // Leading decimal digits of the value; 0 when the key is missing or the value does not
    // start with a digit. Values beyond the int range saturate.
    int readInt(std::string_view section, std::string_view key) const;
    // The value cut to maxLength characters; the literal "default" when the key is missing.
    std::string readText(std::string_view section, std::string_view key, std::size_t maxLength,
                         CIniDocument::Trailing trailing = CIniDocument::Trailing::Trim) const;
    // Rewrites the file whole with the one key changed (a link there: the file it points to).
    bool writeText(std::string_view section, std::string_view key, std::string_view value) const;
    // The file as it is on disk now; an empty document when it cannot be read. Several keys
    // read from one load come from the same version of the file.
    CIniDocument load() const;

    // readText's answer from a loaded document.
    static std::string textOf(const CIniDocument &document, std::string_view section,
                              std::string_view key, std::size_t maxLength,
                              CIniDocument::Trailing trailing = CIniDocument::Trailing::Trim);
    static int leadingDecimal(std::string_view text);
    // The first maxLength characters (code points) of a UTF-8 text.
    static std::string leftCharacters(std::string_view text, std::size_t maxLength);
    static constexpr std::string_view missingText = "default";

  private:
    std::string m_path;
};
