// Files written whole, where the operator or the program chose, without leaving a half-written
// file behind and never through a symbolic link planted at the chosen path. Qt-free.
#pragma once

#include <string>
#include <string_view>

namespace safewrite {

// The reason given when path is a symbolic link (dangling or not); empty when it is none.
std::string linkRefusal(const std::string &path);

// Creates path with bytes; fails when anything, a link included, is already there. A file
// that could not be written whole is removed again. Empty on success, otherwise the reason.
std::string createNew(const std::string &path, std::string_view bytes);

// What replace does with a symbolic link at path.
enum class AtLink {
    Refuse,
    // The file the link points to is replaced (a configuration file kept elsewhere).
    ReplaceTarget,
};

// Replaces path whole with bytes: a new file beside it renamed into its place, so a failure
// leaves the old file as it was. The new file keeps the old one's permissions. Where no file
// can be created beside it (a folder we may not write in) an existing file is rewritten in
// place. Empty on success, otherwise the reason.
std::string replace(const std::string &path, std::string_view bytes,
                    AtLink atLink = AtLink::Refuse);

}  // namespace safewrite
