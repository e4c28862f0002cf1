#include "tavrilo/calc/basic_program.h"

#include <optional>
#include <stdexcept>

#include "tavrilo/convert/basic.h"
#include "tavrilo/calc/tokens.h"

namespace tavrilo {
namespace {

// Counts the tokens of a program piece by piece, keeping none of them.
class TokenCounter : public BasicSink {
public:
    void Put(std::string_view piece) override {
        if (bad) return;
        scratch_.clear();
        bad = tokenizer_.Feed(piece, scratch_);
        count += scratch_.size();
    }
    std::optional<TokenError> bad;
    std::size_t count = 0;

private:
    Tokenizer tokenizer_;
    std::string scratch_;
};

}  // namespace

std::string BasicProgramTokens(std::string_view text, CalcKind kind) {
    TokenCounter counter;
    T2Basic(text, counter);
    if (counter.bad) throw std::invalid_argument(counter.bad->Message());
    const std::string tooLarge = SizeProblem(kind, counter.count);
    if (!tooLarge.empty()) throw std::length_error(tooLarge);
    std::string tokens;
    tokens.reserve(counter.count);
    Tokenize(T2Basic(text), tokens);
    return tokens;
}

bool LooksLikeBasicProgram(std::string_view text) {
    constexpr std::string_view kMark = ":ClrDraw:";
    return text.substr(0, kMark.size()) == kMark;
}

bool HoldsBasicProgram(std::string_view text, std::string& tokens) {
    tokens.clear();
    return LooksLikeBasicProgram(text) && !Tokenize(text, tokens);
}

}  // namespace tavrilo
