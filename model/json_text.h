// JSON text for what the tools and the handle library print: one string, quoted and escaped.
// Qt-free.
#pragma once

#include <string>
#include <string_view>

namespace jsontext {

// Quotes, backslashes and control characters escaped (\u00XX, upper-case hex); bytes that are
// not UTF-8 become U+FFFD, so the document stays valid whatever a reader's text field holds.
std::string quoted(std::string_view text);

}  // namespace jsontext
