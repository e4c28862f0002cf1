// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of zipped XML documents share: the archive's files, their
// XML, and lines of text made from the nodes.
#pragma once

#include <libxml/tree.h>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace tavrilo {

using Files = std::map<std::string, std::string>;

// The files of the zip archive by their names (only those named in only, when
// given); false for a broken archive, or one that unpacks to more than 256 MiB
// (tooLarge).
bool Unpack(std::string_view bytes, Files& files, bool& tooLarge, std::initializer_list<std::string_view> only = {});

using Doc = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;

// The XML of data, without the network and silently; null where it cannot be read at all.
Doc ParseXml(const std::string& data);

// Whether n is an element of that local name, in any case.
bool Named(const xmlNode* n, const char* name);
bool OneOf(const xmlNode* n, std::initializer_list<const char*> names);
std::string Attr(const xmlNode* n, const char* name);

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
