// SPDX-License-Identifier: GPL-3.0-or-later
// How a text file's bytes become the text the conversion takes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrilo {

// Turns each CR LF, lone CR and lone LF into CR LF, in place; every other
// byte is kept. A text that ends its lines with CR LF alone is left as it is.
void LineEndsToCrLf(std::string& text);

// How a text file stores its characters. The byte-order mark, where there is
// one, is part of the encoding, so that a file is written back as it was read.
enum class TextEncoding { Windows1252, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// How the encoding of a file is chosen: decided from its bytes, or given.
enum class EncodingChoice { Auto, Utf8, Windows1252 };

struct DecodedText {
    TextEncoding encoding = TextEncoding::Windows1252;
    std::string utf8;  // the characters, without the byte-order mark
};

// Reads a file's bytes. Auto takes a UTF-8 or UTF-16 byte-order mark as it
// says, then valid UTF-8 that holds at least one multi-byte sequence as
// UTF-8, and anything else as Windows-1252. A byte sequence that is not a
// character of the encoding becomes U+FFFD. Line ends are kept as they are.
DecodedText DecodeText(std::string_view bytes, EncodingChoice choice = EncodingChoice::Auto);

// The file's bytes for utf8 in encoding, with its byte-order mark. For
// Windows-1252 a character the code page lacks becomes "?" (see Utf8ToCp1252).
std::string EncodeText(std::string_view utf8, TextEncoding encoding);

// Whether every character of utf8 has a Windows-1252 byte of its own.
bool FitsCp1252(std::string_view utf8);

// The characters of Windows-1252's bytes 80h to 9Fh; the five bytes it leaves
// unassigned stand for the control characters of the same number.
inline constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character of the Windows-1252 byte b.
constexpr char16_t Cp1252Char(unsigned char b) { return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b; }

// What a character the code page lacks becomes: "?" for the outputs of the
// TI-83 rules; kLeftOut (81h, which Windows-1252 leaves unassigned) for an
// output that leaves out, and counts, what it cannot show, as the CE's does.
inline constexpr char kReplaced = '?';
inline constexpr char kLeftOut = '\x81';

// The Windows-1252 text the conversion takes. Prime, double prime and minus
// sign become their plain look-alikes; any other character the code page
// lacks becomes lacking, counted in replaced.
std::string Utf8ToCp1252(std::string_view utf8, std::size_t& replaced, char lacking = kReplaced);
// The byte Utf8ToCp1252 makes of c, or -1 for one that becomes "?".
int CalculatorByte(char32_t c);
std::string Cp1252ToUtf8(std::string_view bytes);

// Turns a file's bytes, in place, into the text the conversion takes: decoded
// as DecodeText does and turned into Windows-1252 as Utf8ToCp1252 does. A
// Windows-1252 file keeps its bytes as they are.
void ToCalculatorText(std::string& bytes, EncodingChoice choice, std::size_t& replaced, char lacking = kReplaced);

// "N characters outside the calculator's code page were replaced by ?"
std::string ReplacedMessage(std::size_t count);

}  // namespace tavrilo
