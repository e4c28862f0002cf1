// SPDX-License-Identifier: GPL-3.0-or-later
// How a text file's bytes become the text the conversion takes.
#pragma once

#include <string>

namespace tavrilo {

// Turns each CR LF, lone CR and lone LF into CR LF, in place; every other
// byte is kept. A text that ends its lines with CR LF alone is left as it is.
void LineEndsToCrLf(std::string& text);

}  // namespace tavrilo
