// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/text_file.h"

#include <algorithm>
#include <string_view>

namespace tavrilo {

void LineEndsToCrLf(std::string& text) {
    const std::size_t n = text.size();
    if (n == 0) return;
    // Every CR and LF but the two of each CR LF pair is lone. Counted in
    // blocks of bytes that a byte counter holds, which the compiler vectorizes.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t ends = 0, pairs = 0;
    for (std::size_t i = 0; i + 1 < n;) {
        const std::size_t block = std::min(n - 1, i + 255);
        unsigned char e = 0, crLf = 0;
        for (; i < block; ++i) {
            e += (p[i] == '\r') | (p[i] == '\n');
            crLf += (p[i] == '\r') & (p[i + 1] == '\n');
        }
        ends += e;
        pairs += crLf;
    }
    ends += (p[n - 1] == '\r') | (p[n - 1] == '\n');
    const std::size_t lone = ends - 2 * pairs;
    if (lone == 0) return;
    // From the end, so that writing never overtakes what is still to be read;
    // once it has caught up, the rest is in place.
    text.resize(n + lone);
    char* s = text.data();
    std::size_t w = n + lone;
    for (std::size_t r = n; w > r;) {
        const char c = s[--r];
        if (c == '\n') {
            s[--w] = '\n';
            s[--w] = '\r';
            if (r > 0 && s[r - 1] == '\r') --r;
        } else if (c == '\r') {
            s[--w] = '\n';
            s[--w] = '\r';
        } else {
            s[--w] = c;
        }
    }
}


namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The Windows-1252 byte of c, or -1.
int Cp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return 0x80 + i;
    return -1;
}

// The character at p[0..n) and its length in bytes; an invalid sequence is
// one byte long and yields kReplacement.
struct CodePoint {
    char32_t c;
    std::size_t length;
};

CodePoint NextUtf8(const unsigned char* p, std::size_t n) {
    const unsigned char b = p[0];
    if (b < 0x80) return {b, 1};
    std::size_t len;
    char32_t c, min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, c = b & 0x07, min = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (n < len) return {kReplacement, 1};
    for (std::size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return {kReplacement, 1};
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {kReplacement, 1};
    return {c, len};
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Calls f(c) for each character of utf8, invalid bytes as kReplacement.
template <typename F>
void ForEachChar(std::string_view utf8, F f) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            f(static_cast<char32_t>(p[i++]));
            continue;
        }
        const CodePoint cp = NextUtf8(p + i, n - i);
        f(cp.c);
        i += cp.length;
    }
}

// Whether bytes are valid UTF-8; multiByte tells whether any sequence is
// longer than one byte.
bool ValidUtf8(std::string_view bytes, bool& multiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    multiByte = false;
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const CodePoint cp = NextUtf8(p + i, n - i);
        if (cp.c == kReplacement && cp.length == 1) return false;
        multiByte = true;
        i += cp.length;
    }
    return true;
}

std::string DecodeUtf8(std::string_view bytes) {
    bool multiByte = false;
    if (ValidUtf8(bytes, multiByte)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    ForEachChar(bytes, [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        return bigEndian ? (p[2 * i] << 8 | p[2 * i + 1]) : (p[2 * i + 1] << 8 | p[2 * i]);
    };
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    if (bytes.size() % 2 != 0) AppendUtf8(out, kReplacement);  // a last half character
    return out;
}

std::string EncodeUtf16(std::string_view utf8, bool bigEndian) {
    std::string out;
    out.reserve(2 + utf8.size() * 2);
    const auto put = [&](char32_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    put(0xFEFF);
    ForEachChar(utf8, [&](char32_t c) {
        if (c < 0x10000) return put(c);
        put(0xD800 + ((c - 0x10000) >> 10));
        put(0xDC00 + ((c - 0x10000) & 0x3FF));
    });
    return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

TextEncoding Detect(std::string_view bytes, EncodingChoice choice) {
    if (choice == EncodingChoice::Windows1252) return TextEncoding::Windows1252;
    if (StartsWith(bytes, kUtf8Bom)) return TextEncoding::Utf8Bom;
    if (choice == EncodingChoice::Utf8) return TextEncoding::Utf8;
    if (StartsWith(bytes, "\xFF\xFE")) return TextEncoding::Utf16Le;
    if (StartsWith(bytes, "\xFE\xFF")) return TextEncoding::Utf16Be;
    bool multiByte = false;
    return ValidUtf8(bytes, multiByte) && multiByte ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

}  // namespace

DecodedText DecodeText(std::string_view bytes, EncodingChoice choice) {
    const TextEncoding encoding = Detect(bytes, choice);
    switch (encoding) {
        case TextEncoding::Windows1252: return {encoding, Cp1252ToUtf8(bytes)};
        case TextEncoding::Utf8: return {encoding, DecodeUtf8(bytes)};
        case TextEncoding::Utf8Bom: return {encoding, DecodeUtf8(bytes.substr(kUtf8Bom.size()))};
        case TextEncoding::Utf16Le: return {encoding, DecodeUtf16(bytes.substr(2), false)};
        case TextEncoding::Utf16Be: return {encoding, DecodeUtf16(bytes.substr(2), true)};
    }
    return {encoding, std::string(bytes)};
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding) {
    std::size_t replaced = 0;
    switch (encoding) {
        case TextEncoding::Windows1252: return Utf8ToCp1252(utf8, replaced);
        case TextEncoding::Utf8: return std::string(utf8);
        case TextEncoding::Utf8Bom: return std::string(kUtf8Bom) + std::string(utf8);
        case TextEncoding::Utf16Le: return EncodeUtf16(utf8, false);
        case TextEncoding::Utf16Be: return EncodeUtf16(utf8, true);
    }
    return std::string(utf8);
}

bool FitsCp1252(std::string_view utf8) {
    bool fits = true;
    ForEachChar(utf8, [&](char32_t c) { fits = fits && Cp1252Byte(c) >= 0; });
    return fits;
}

std::string Utf8ToCp1252(std::string_view utf8, std::size_t& replaced, char lacking) {
    std::string out;
    out.reserve(utf8.size());
    ForEachChar(utf8, [&](char32_t c) {
        const int b = CalculatorByte(c);
        replaced += b < 0;
        out += b < 0 ? lacking : static_cast<char>(b);
    });
    return out;
}

int CalculatorByte(char32_t c) {
    const int b = Cp1252Byte(c);
    if (b >= 0) return b;
    switch (c) {
        case 0x2032: return '\'';  // prime
        case 0x2033: return '"';   // double prime
        case 0x2212: return '-';   // minus sign
        default: return -1;
    }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            AppendUtf8(out, Cp1252Char(b));
    }
    return out;
}

void ToCalculatorText(std::string& bytes, EncodingChoice choice, std::size_t& replaced, char lacking) {
    if (Detect(bytes, choice) == TextEncoding::Windows1252) return;
    bytes = Utf8ToCp1252(DecodeText(bytes, choice).utf8, replaced, lacking);
}

std::string ReplacedMessage(std::size_t count) {
    if (count == 1) return "1 character outside the calculator's code page was replaced by ?";
    return std::to_string(count) + " characters outside the calculator's code page were replaced by ?";
}

}  // namespace tavrilo
