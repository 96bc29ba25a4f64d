#include <gtest/gtest.h>

#include <string>

#include "json_text.h"

namespace {

TEST(JsonText, EscapesWhatJsonNeedsAndKeepsTheDocumentValidUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"Dock 7", R"("Dock 7")"},
        {R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
        {std::string("a\0b\n\x1F", 5), R"("a\u0000b\u000A\u001F")"},
        {"\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x93\xA6",
         "\"\xC3\xA9t\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x93\xA6\""},
        {"\xFF", "\"\xEF\xBF\xBD\""},                    // never a UTF-8 byte
        {"\xC3", "\"\xEF\xBF\xBD\""},                    // cut at the end
        {"\xE4\xB8x", "\"\xEF\xBF\xBD\xEF\xBF\xBDx\""},  // cut before a plain byte
        {"\x80 ", "\"\xEF\xBF\xBD \""},                  // a continuation byte alone
        {"\xF5\x80\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto &[text, json] : cases) EXPECT_EQ(jsontext::quoted(text), json) << text;
}

}  // namespace
