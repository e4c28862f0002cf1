#include "tavrilo/calc/basic_program.h"

#include <optional>

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

Status BasicProgramTokens(std::string_view text, CalcKind kind, std::string& tokens) {
    TokenCounter counter;
    T2Basic(text, counter);
    if (counter.bad) return Status::Failed(counter.bad->Message());
    std::string tooLarge = SizeProblem(kind, counter.count);
    if (!tooLarge.empty()) return Status::Failed(std::move(tooLarge));
    tokens.clear();
    tokens.reserve(counter.count);
    Tokenize(T2Basic(text), tokens);
    return {};
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
