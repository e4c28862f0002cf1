// SPDX-License-Identifier: GPL-3.0-or-later
// TI-83 token bytes for the BASIC program text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/system/status.h"

namespace tavrilo {

// Appends the token bytes of program to tokens. Outside a string the command
// words are read first; inside a string every character is its own token. A
// character without a token fails: "no calculator token for 'a' (61h) at
// position 4", counted from 1.
[[nodiscard]] Status Tokenize(std::string_view program, std::string& tokens);

// Tokenize for a program that comes in pieces, no command word split between two.
class Tokenizer {
public:
    [[nodiscard]] Status Feed(std::string_view piece, std::string& tokens);
    // How many token bytes Feed would append for piece, without looking for
    // characters that have none; moves on as Feed does.
    std::size_t Count(std::string_view piece);

private:
    bool inString_ = false;
    std::size_t fed_ = 0;  // bytes of the earlier pieces
};

}  // namespace tavrilo
