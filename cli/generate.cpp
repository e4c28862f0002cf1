// SPDX-License-Identifier: GPL-3.0-or-later
#include "io.h"
#include "tavrilo/convert/asm_stream.h"
#include "tavrilo/convert/basic_stream.h"

namespace tavrilo::cli {
namespace {

// What the generators write through: lines ended by CR LF (StreamAsmTo), or
// pieces as they come (T2BasicTo), straight into the writer's buffer.
class CrLfLines {
public:
    explicit CrLfLines(BufferedWriter& out) : out_(out) {}
    void Line(std::string_view line) { out_.WriteCrLf(line); }
    void Joined(std::string_view a, std::string_view b, std::string_view c) {
        out_.Write(a);
        out_.Write(b);
        out_.WriteCrLf(c);
    }

private:
    BufferedWriter& out_;
};

class Pieces {
public:
    explicit Pieces(BufferedWriter& out) : out_(out) {}
    void Put(std::string_view piece) { out_.Write(piece); }

private:
    BufferedWriter& out_;
};

}  // namespace

void WriteBasic(std::string_view text, BufferedWriter& out) {
    Pieces pieces(out);
    T2BasicTo(text, pieces);
}

void WriteAsm(std::string_view text, const AsmOpts& opts, BufferedWriter& out) {
    CrLfLines lines(out);
    StreamAsmTo(text, opts, lines);
}

}  // namespace tavrilo::cli
