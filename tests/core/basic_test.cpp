// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "helpers.h"
#include "temp_dir.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/text_rules.h"

namespace tavrilo {
namespace {

using test::Repeat;

const std::string kEnd = "Pause:ClrDraw:ClrHome:Disp \" TAVRILO BY K.V \":";

TEST(T2Basic, WorkedExamples) {
    std::string two = ":ClrDraw:Text(0,0,\"HELLO WORLD!\"):Text(7,0,\"ITS 2 OCLOCK\"):";
    EXPECT_EQ(T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK"), two + kEnd);
    EXPECT_EQ((two + kEnd).size(), 105u);
    EXPECT_EQ(T2Basic("HELLO WORLD!\r\nITS 2 OCLOCK\r\n"), two);
    EXPECT_EQ(two.size(), 59u);

    std::string nine = T2Basic("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9");
    EXPECT_EQ(nine,
              ":ClrDraw:Text(0,0,\"1\"):Text(7,0,\"2\"):Text(14,0,\"3\"):Text(21,0,\"4\"):"
              "Text(28,0,\"5\"):Text(35,0,\"6\"):Text(42,0,\"7\"):Text(49,0,\"8\"):"
              "Pause:ClrDraw:Text(0,0,\"9\"):" + kEnd);
    EXPECT_EQ(nine.size(), 201u);
}

TEST(T2Basic, EndingsAfterTheLastRow) {
    std::string empty = ":ClrDraw:Text(0,0,\"\"):" + kEnd;
    EXPECT_EQ(empty.size(), 68u);
    EXPECT_EQ(T2Basic(ChkBadChrs("#?&")), empty);
    EXPECT_EQ(T2Basic(""), empty);
    EXPECT_EQ(T2Basic("\n\n"), empty);

    std::string a23 = Repeat("A", 23);
    EXPECT_EQ(T2Basic(Repeat("A", 25)),
              ":ClrDraw:Text(0,0,\"" + a23 + "\"):Text(7,0,\"AA\"):" + kEnd);
    EXPECT_EQ(T2Basic(Repeat("A", 25)).size(), 106u);
    EXPECT_EQ(T2Basic(a23), ":ClrDraw:Text(0,0,\"" + a23 + "\"):");
    EXPECT_EQ(T2Basic(a23).size(), 45u);
    EXPECT_EQ(T2Basic(a23 + "\r\nB"),
              ":ClrDraw:Text(0,0,\"" + a23 + "\"):Text(7,0,\"\"):Text(14,0,\"B\"):" + kEnd);
    EXPECT_EQ(T2Basic("\r\n"), ":ClrDraw:Text(0,0,\"\"):");
    EXPECT_EQ(T2Basic("\r\n").size(), 22u);
    EXPECT_EQ(T2Basic(" "), ":ClrDraw:Text(0,0,\" \"):" + kEnd);
}

TEST(T2Basic, FullPageAtTheEnd) {
    std::string text;
    std::string expect = ":ClrDraw:";
    for (int i = 0; i < 8; ++i) {
        text += std::string(1, static_cast<char>('A' + i)) + "\r\n";
        expect += "Text(" + std::to_string(7 * i) + ",0,\"" + static_cast<char>('A' + i) + "\"):";
    }
    EXPECT_EQ(T2Basic(text), expect + "Pause:ClrDraw:");
}

TEST(T2Basic, AnyByteAndNoLineEndInTheOutput) {
    std::string text;
    for (int c = 0; c < 256; ++c) text.push_back(static_cast<char>(c));
    std::string out = T2Basic(text);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find('\n'), std::string::npos);
    // CR (13) closes the first row; the LF (10) before it is skipped.
    std::string first = std::string(text, 0, 10) + "\x0b\x0c";
    EXPECT_EQ(out.substr(0, 19 + 12 + 3), ":ClrDraw:Text(0,0,\"" + first + "\"):");
    EXPECT_NE(out.find(std::string("\0\x01\x02", 3)), std::string::npos);
    EXPECT_NE(out.find("\xfd\xfe\xff"), std::string::npos);
}

}  // namespace
}  // namespace tavrilo
