// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/ce_program.h"

#include <array>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/convert/basic.h"
#include "tavrilo/convert/ce.h"

namespace tavrilo {
namespace {

// The token of each character a string may hold, one byte or a prefix and a byte; 0 for none.
std::array<unsigned short, 256> MakeCharTokens() {
    std::array<unsigned short, 256> t{};
    t[' '] = 0x29;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<unsigned short>(0x30 + c - '0');
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned short>(0x41 + c - 'A');
    for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned short>(0xBBB0 + c - 'a' + (c >= 'l'));
    const struct {
        unsigned char c;
        unsigned short token;
    } others[] = {
        {'!', 0x2D},    {'#', 0xBBD2},  {'$', 0xBBD3},  {'%', 0xBBDA},  {'&', 0xBBD4},  {'\'', 0xAE},
        {'(', 0x10},    {')', 0x11},    {'*', 0x82},    {'+', 0x70},    {',', 0x2B},    {'-', 0x71},
        {'.', 0x3A},    {'/', 0x83},    {':', 0x3E},    {';', 0xBBD6},  {'<', 0x6B},    {'=', 0x6A},
        {'>', 0x6C},    {'?', 0xAF},    {'@', 0xBBD1},  {'[', 0x06},    {'\\', 0xBBD7}, {']', 0x07},
        {'^', 0xF0},    {'_', 0xBBD9},  {'`', 0xBBD5},  {'{', 0x08},    {'|', 0xBBD8},  {'}', 0x09},
        {'~', 0xBBCF},  {0xC1, 0xBB6E}, {0xC0, 0xBB6F}, {0xC2, 0xBB70}, {0xC4, 0xBB71}, {0xE1, 0xBB72},
        {0xE0, 0xBB73}, {0xE2, 0xBB74}, {0xE4, 0xBB75}, {0xC9, 0xBB76}, {0xC8, 0xBB77}, {0xCA, 0xBB78},
        {0xCB, 0xBB79}, {0xE9, 0xBB7A}, {0xE8, 0xBB7B}, {0xEA, 0xBB7C}, {0xEB, 0xBB7D}, {0xCD, 0xBBCD},
        {0xCC, 0xBB7F}, {0xCE, 0xBB80}, {0xCF, 0xBB81}, {0xED, 0xBB82}, {0xEC, 0xBB83}, {0xEE, 0xBB84},
        {0xEF, 0xBB85}, {0xD3, 0xBB86}, {0xD2, 0xBB87}, {0xD4, 0xBB88}, {0xD6, 0xBB89}, {0xF3, 0xBB8A},
        {0xF2, 0xBB8B}, {0xF4, 0xBB8C}, {0xF6, 0xBB8D}, {0xDA, 0xBB8E}, {0xD9, 0xBB8F}, {0xDB, 0xBB90},
        {0xDC, 0xBB91}, {0xFA, 0xBB92}, {0xF9, 0xBB93}, {0xFB, 0xBB94}, {0xFC, 0xBB95}, {0xC7, 0xBB96},
        {0xE7, 0xBB97}, {0xD1, 0xBB98}, {0xF1, 0xBB99},
    };
    for (const auto& o : others) t[o.c] = o.token;
    return t;
}

const std::array<unsigned short, 256> kCharTokens = MakeCharTokens();

// The statements, as token bytes and as the CE shows them.
struct Command {
    std::string_view tokens, shown;
};
constexpr Command kCommands[] = {
    {"\x97", "FnOff "},        {"\xEA", "PlotsOff "},         {"\x7E\x09", "AxesOff"}, {"\x7E\x0B", "GridOff"},
    {"\xEF\x64", "BackgroundOff"}, {"\xEF\x67", "TextColor("}, {"\xEF\x43", "BLACK"},   {"\x85", "ClrDraw"},
    {"\x93", "Text("},         {"\xD8", "Pause"},             {"\xE1", "ClrHome"},     {"\xDE", "Disp "},
    {"\x2A", "\""},
};

constexpr std::string_view kStart =
    "\x97\x3E\xEA\x3E\x7E\x09\x3E\x7E\x0B\x3E\xEF\x64\x3E\xEF\x67\xEF\x43\x11\x3E\x85\x3E";  // ... ClrDraw:
constexpr std::string_view kPageEnd = "\xD8\x3E\x85\x3E";                                  // Pause:ClrDraw:

template <class Out>
void PutChars(Out& out, std::string_view s) {
    for (unsigned char c : s) {
        const unsigned short t = kCharTokens[c];
        if (t > 0xFF) out.Byte(static_cast<char>(t >> 8));
        out.Byte(static_cast<char>(t & 0xFF));
    }
}

template <class Out>
void CeProgramTo(std::string_view text, Out& out) {
    out.Put(kStart);
    const CeLayoutEnd end = LayCeRows(
        text,
        [&](std::string_view row, int index) {
            if (row.empty()) return;
            out.Byte('\x93');  // Text(
            PutChars(out, std::to_string(index * kCeRowPitch));
            out.Put("\x2B\x30\x2B\x2A");  // ,0,"
            PutChars(out, row);
            out.Put("\x2A\x11\x3E");  // "):
        },
        [&](std::size_t) { out.Put(kPageEnd); });
    if (end.rowsOnLastPage > 0) out.Put(kPageEnd);
    out.Put("\xE1\x3E\xDE\x2A");  // ClrHome:Disp "
    PutChars(out, kBasicTitle);
    out.Put("\x2A\x3E");
}

struct Counter {
    std::size_t n = 0;
    void Put(std::string_view s) { n += s.size(); }
    void Byte(char) { ++n; }
};

struct Appender {
    std::string& s;
    void Put(std::string_view p) { s += p; }
    void Byte(char c) { s.push_back(c); }
};

bool TwoByte(unsigned char first) {
    return (first >= 0x5C && first <= 0x63) || first == 0x7E || first == 0xAA || first == 0xBB || first == 0xEF;
}

}  // namespace

Status CeProgramTokens(std::string_view ceText, std::string& tokens) {
    Counter counter;
    CeProgramTo(ceText, counter);
    if (Status size = CheckSize(CalcKind::Ti84PlusCe, counter.n); !size.ok()) return size;
    tokens.clear();
    tokens.reserve(counter.n);
    Appender out{tokens};
    CeProgramTo(ceText, out);
    return {};
}

unsigned char CeVersionByte(std::string_view tokens) {
    unsigned char version = 0;
    auto atLeast = [&](unsigned char v) { version = v > version ? v : version; };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const unsigned char first = static_cast<unsigned char>(tokens[i]);
        if (!TwoByte(first) || i + 1 == tokens.size()) continue;
        const unsigned char second = static_cast<unsigned char>(tokens[++i]);
        if (first == 0xEF && second > 0x40) atLeast(0x0A);
        if (first == 0xBB) atLeast(second > 0xDA ? 3 : second > 0xCE ? 2 : second > 0x67 ? 1 : 0);
    }
    return version;
}

std::optional<std::string> CeProgramText(std::string_view tokens) {
    static const auto kShown = [] {
        std::array<unsigned char, 0x10000> byToken{};  // character + 1, by token
        for (int c = 0; c < 256; ++c)
            if (kCharTokens[c] != 0) byToken[kCharTokens[c]] = static_cast<unsigned char>(c + 1);
        return byToken;
    }();
    std::string text;
    text.reserve(tokens.size() * 2);
    for (std::size_t i = 0; i < tokens.size();) {
        const Command* command = nullptr;
        for (const Command& c : kCommands)
            if (tokens.substr(i, c.tokens.size()) == c.tokens) command = &c;
        if (command) {
            text += command->shown;
            i += command->tokens.size();
            continue;
        }
        const unsigned char first = static_cast<unsigned char>(tokens[i]);
        const bool two = TwoByte(first) && i + 1 < tokens.size();
        const unsigned token = two ? first << 8 | static_cast<unsigned char>(tokens[i + 1]) : first;
        if (token > 0xFFFF || kShown[token] == 0) return std::nullopt;
        text.push_back(static_cast<char>(kShown[token] - 1));
        i += two ? 2 : 1;
    }
    return text;
}

}  // namespace tavrilo
