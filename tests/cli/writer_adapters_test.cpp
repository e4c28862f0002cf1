// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "../core/helpers.h"
#include "../core/temp_dir.h"
#include "io.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/basic.h"

namespace tavrilo {
namespace {

using test::AsmLines;
using test::Repeat;

const AsmOpts kAll{true, true, true};
const AsmOpts kNone{false, false, false};

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

// Straight into a writer the program is the same, across the writer's buffer
// boundaries too.
TEST(T2Basic, IntoAWriter) {
    std::string book;
    for (int n = 0; book.size() < (3u << 20); ++n) book += std::string(n % 97, 'A' + n % 26) + "\r\n";
    for (const std::string& text : {std::string(), std::string("HI"), Repeat("ROW\r\n", 8), book}) {
        bool flushed = false;
        const std::string written = test::WrittenBy(
            [&](BufferedWriter& out) { cli::WriteBasic(text, out); },
            &flushed);
        EXPECT_TRUE(flushed);
        ASSERT_TRUE(written == T2Basic(text)) << text.size();
    }
}

// Straight into a writer, the lines end in CR LF, across the writer's buffer
// boundaries too.
TEST(StreamAsm, IntoAWriterAsLinesWithCrLf) {
    std::string book;
    for (int n = 0; book.size() < (3u << 20); ++n) book += std::string(n % 97, 'a' + n % 26) + "\r\n";
    for (const std::string& text : {std::string(), std::string("X\"Y"), book})
        for (const AsmOpts& opts : {kAll, kNone}) {
            bool flushed = false;
            const std::string written = test::WrittenBy(
                [&](BufferedWriter& out) { cli::WriteAsm(text, opts, out); },
                &flushed);
            EXPECT_TRUE(flushed);
            ASSERT_TRUE(written == Joined(AsmLines(text, opts))) << text.size();
        }
}

}  // namespace
}  // namespace tavrilo
