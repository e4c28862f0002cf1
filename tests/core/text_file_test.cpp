// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "tavrilo/convert/text_file.h"

namespace tavrilo {
namespace {

struct ReadingCase {
    const char* name;
    std::string bytes;
    EncodingChoice choice;
    TextEncoding encoding;
    std::string utf8;
};

TEST(DecodeText, DecidesTheEncodingAndDecodes) {
    using E = TextEncoding;
    using C = EncodingChoice;
    const std::string cafe = "caf\xC3\xA9\r\n";
    const ReadingCase cases[] = {
        {"utf-8", cafe, C::Auto, E::Utf8, cafe},
        {"utf-8 with mark", "\xEF\xBB\xBF" + cafe, C::Auto, E::Utf8Bom, cafe},
        {"utf-16 le", std::string("\xFF\xFE" "c\0\xE9\0=\xD8\0\xDE\r\0", 12), C::Auto, E::Utf16Le,
         "c\xC3\xA9\xF0\x9F\x98\x80\r"},
        {"utf-16 be", std::string("\xFE\xFF\0c\0\xE9\xD8\0", 8), C::Auto, E::Utf16Be,
         "c\xC3\xA9\xEF\xBF\xBD"},
        {"windows-1252", "caf\xE9 \x93q\x94", C::Auto, E::Windows1252,
         "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"},
        {"ascii alone", "plain\n", C::Auto, E::Windows1252, "plain\n"},
        {"invalid utf-8", "caf\xC3\xA9 \xC3(", C::Auto, E::Windows1252,
         "caf\xC3\x83\xC2\xA9 \xC3\x83("},
        {"invalid utf-8, given", "a\xC3(\xED\xA0\x80", C::Utf8, E::Utf8,
         "a\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"utf-8, given windows-1252", cafe, C::Windows1252, E::Windows1252, "caf\xC3\x83\xC2\xA9\r\n"},
        {"empty", "", C::Auto, E::Windows1252, ""},
    };
    for (const ReadingCase& c : cases) {
        const DecodedText text = DecodeText(c.bytes, c.choice);
        EXPECT_EQ(text.encoding, c.encoding) << c.name;
        EXPECT_EQ(text.utf8, c.utf8) << c.name;
    }
}

TEST(Utf8ToCp1252, TakesLookAlikesAndCountsWhatTheCodePageLacks) {
    std::size_t replaced = 0;
    // é ’ “ ” … NBSP stay; prime, double prime, minus become look-alikes; Ω and 😀 become "?".
    const std::string text = Utf8ToCp1252(
        "\xC3\xA9\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA6\xC2\xA0"
        "5\xE2\x80\xB2 6\xE2\x80\xB3 \xE2\x88\x92"
        "1 \xCE\xA9\xF0\x9F\x98\x80",
        replaced);
    EXPECT_EQ(text, "\xE9\x92\x93\x94\x85\xA0" "5' 6\" -1 ??");
    EXPECT_EQ(replaced, 2u);
    EXPECT_EQ(ReplacedMessage(replaced), "2 characters outside the calculator's code page were replaced by ?");
}

}  // namespace
}  // namespace tavrilo
