// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/basic_program.h"


#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/tokens.h"

namespace tavrilo {
namespace {

// Counts the token bytes of a program piece by piece, making none of them.
class TokenCounter : public BasicSink {
public:
    void Put(std::string_view piece) override { count += tokenizer_.Count(piece); }
    std::size_t count = 0;

private:
    Tokenizer tokenizer_;
};

}  // namespace

Status BasicProgramTokens(std::string_view text, CalcKind kind, std::string& tokens) {
    TokenCounter counter;
    T2Basic(text, counter);
    if (Status size = CheckSize(kind, counter.count); !size.ok()) return size;
    tokens.clear();
    tokens.reserve(counter.count);
    return Tokenize(T2Basic(text), tokens);
}

bool LooksLikeBasicProgram(std::string_view text) {
    constexpr std::string_view kMark = ":ClrDraw:";
    return text.substr(0, kMark.size()) == kMark;
}

bool HoldsBasicProgram(std::string_view text, std::string& tokens) {
    tokens.clear();
    return LooksLikeBasicProgram(text) && Tokenize(text, tokens).ok();
}

}  // namespace tavrilo
