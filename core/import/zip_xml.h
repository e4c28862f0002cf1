// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of zipped XML documents share: the archive's files, the
// names of their elements, and lines of text made from them.
#pragma once

#include <libxml/tree.h>

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

namespace tavrilo {

using Files = std::map<std::string, std::string>;

// The files of the zip archive by their names (only those named in only, when
// given); false for a broken archive, or one that unpacks to more than 256 MiB
// (tooLarge).
bool Unpack(std::string_view bytes, Files& files, bool& tooLarge, std::initializer_list<std::string_view> only = {});

// Whether name is one of names, in any case.
bool Is(const char* name, std::initializer_list<const char*> names);
// Whether n is an element of one of these local names, in any case.
inline bool OneOf(const xmlNode* n, std::initializer_list<const char*> names) {
    return n->type == XML_ELEMENT_NODE && Is(reinterpret_cast<const char*>(n->name), names);
}
inline bool Named(const xmlNode* n, const char* name) { return OneOf(n, {name}); }

// Lines appended to out: a line's blanks at its end go.
class TextLines {
public:
    explicit TextLines(std::string& out) : out_(out) {}

    // s with each run of white space one blank, none at a line's start; kept:
    // each white space a blank, and a line end ends the line. A typographic
    // space (no-break, thin, ...) is a blank either way.
    void Text(const char* s, bool kept = false);
    void Blank() { line_ += ' '; }
    // Ends the line; an empty one is a line only when always.
    void EndLine(bool always);
    // The lines ended so far.
    std::size_t Count() const { return count_; }

private:
    std::string& out_;
    std::string line_;
    std::size_t count_ = 0;
};

}  // namespace tavrilo
