// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/tokens.h"

#include <array>
#include <cstdio>

namespace tavrilo {

namespace {

// One-character tokens; 0 means the character has none.
constexpr std::array<unsigned char, 256> MakeCharTokens() {
    std::array<unsigned char, 256> t{};
    t[':'] = 0x3E;
    t['"'] = 0x2A;
    t[','] = 0x2B;
    t[' '] = 0x29;
    t['('] = 0x10;
    t[')'] = 0x11;
    t['{'] = 0x08;
    t['}'] = 0x09;
    t['['] = 0x06;
    t[']'] = 0x07;
    t['.'] = 0x3A;
    t['!'] = 0x2D;
    t['*'] = 0x82;
    t['-'] = 0x71;
    t['/'] = 0x83;
    t['+'] = 0x70;
    t['='] = 0x6A;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<unsigned char>(0x30 + c - '0');
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(0x41 + c - 'A');
    return t;
}

constexpr std::array<unsigned char, 256> kCharTokens = MakeCharTokens();

struct Command {
    std::string_view word;
    char token;
};

constexpr Command kCommands[] = {
    {"ClrDraw", '\x85'}, {"ClrHome", '\xE1'}, {"Text(", '\x93'},
    {"Pause", '\xD8'},   {"Disp ", '\xDE'},
};

// The command whose word stands at program[i], outside a string; else none.
const Command* CommandAt(std::string_view program, std::size_t i) {
    const char first = program[i];
    if (first != 'C' && first != 'T' && first != 'P' && first != 'D') return nullptr;
    const Command* hit = nullptr;
    for (const Command& c : kCommands)
        if (program.compare(i, c.word.size(), c.word) == 0) hit = &c;
    return hit;
}

Status NoToken(unsigned char ch, std::size_t position) {
    char buf[96];
    if (ch >= 0x20 && ch < 0x7F)
        std::snprintf(buf, sizeof buf, "no calculator token for '%c' (%02Xh) at position %zu", ch,
                      ch, position);
    else
        std::snprintf(buf, sizeof buf, "no calculator token for byte %02Xh at position %zu", ch,
                      position);
    return Status::Failed(buf);
}

}  // namespace

Status Tokenizer::Feed(std::string_view program, std::string& tokens) {
    std::size_t i = 0;
    while (i < program.size()) {
        if (const Command* hit = inString_ ? nullptr : CommandAt(program, i)) {
            tokens.push_back(hit->token);
            i += hit->word.size();
            continue;
        }
        const unsigned char ch = static_cast<unsigned char>(program[i]);
        const unsigned char token = kCharTokens[ch];
        if (token == 0) return NoToken(ch, fed_ + i + 1);
        if (ch == '"') inString_ = !inString_;
        tokens.push_back(static_cast<char>(token));
        ++i;
    }
    fed_ += program.size();
    return {};
}

std::size_t Tokenizer::Count(std::string_view program) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < program.size();) {
        if (inString_) {
            // Every character of a string is one token, up to and with the closing quote.
            const std::size_t quote = program.find('"', i);
            const std::size_t end = quote == std::string_view::npos ? program.size() : quote + 1;
            count += end - i;
            i = end;
            inString_ = quote == std::string_view::npos;
            continue;
        }
        const Command* hit = CommandAt(program, i);
        if (program[i] == '"') inString_ = true;
        ++count;
        i += hit ? hit->word.size() : 1;
    }
    fed_ += program.size();
    return count;
}

Status Tokenize(std::string_view program, std::string& tokens) {
    return Tokenizer().Feed(program, tokens);
}

}  // namespace tavrilo
