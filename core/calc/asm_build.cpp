// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/asm_build.h"

#include <iterator>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "tavrilo/system/file_io.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

std::string Ti83CodeRoom() {
    return "from 9327h the TI-83 has room for " + std::to_string(kTi83MaxCode) + " bytes of code";
}

std::string Ti83CodeProblem(std::size_t atLeast) {
    return "This text needs at least " + Grouped(atLeast) +
           " bytes of machine code; a TI-83 program loaded at 9327h has room for " + Grouped(kTi83MaxCode) +
           ". Use BASIC or a shorter text.";
}

std::string Ti83PlusCodeProblem(std::size_t code, bool atLeast) {
    return std::string("the program needs ") + (atLeast ? "at least " : "") + Grouped(code) +
           " bytes of code; the TI-83 Plus runs at most " + Grouped(kTi83PlusMaxCode) +
           "; use BASIC or a shorter text";
}

namespace {

std::string_view EquatesName(CalcKind kind) {
    return kind == CalcKind::Ti83 ? "tavrilo_ti83.inc" : "tavrilo_ti83plus.inc";
}

std::uint16_t ProgramStart(CalcKind kind) {
    return kind == CalcKind::Ti83 ? kTi83ProgramStart : kTi83PlusProgramStart;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool Quotable(unsigned char c) { return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\'; }

void AppendNumber(std::string& out, unsigned v) {
    if (v >= 100) out += static_cast<char>('0' + v / 100);
    if (v >= 10) out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// The string's bytes as items: runs of quotable bytes in quotes, the others as numbers.
void AppendItems(std::string& out, std::string_view s) {
    bool first = true;
    for (std::size_t i = 0; i < s.size();) {
        if (!first) out += ',';
        first = false;
        const auto c = static_cast<unsigned char>(s[i]);
        if (!Quotable(c)) {
            AppendNumber(out, c);
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && Quotable(static_cast<unsigned char>(s[j]))) ++j;
        out += '"';
        out.append(s.substr(i, j - i));
        out += '"';
        i = j;
    }
    if (first) out += "\"\"";  // an empty string stays an empty item
}

// Rewrites a .db line whose first item is a string and adds its bytes to
// bytes; false for any other line.
bool AppendDbLine(std::string& out, std::string_view line, std::size_t& bytes) {
    std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || !StartsWith(line.substr(at), ".db")) return false;
    std::size_t open = line.find_first_not_of(" \t", at + 3);
    if (open == at + 3 || open == std::string_view::npos || line[open] != '"') return false;
    // The generator writes the text between the first and the last quote as it stands.
    const std::size_t close = line.rfind('"');
    if (close == open) return false;
    out.append(line.substr(0, open));
    AppendItems(out, line.substr(open + 1, close - open - 1));
    out.append(line.substr(close + 1));
    bytes += close - open - 1;
    for (char c : line.substr(close + 1)) bytes += c == ',';  // the items after the string, as ",0"
    return true;
}

constexpr const char* kTools[] = {"z80-unknown-coff-as", "z80-unknown-coff-ld",
                                   "z80-unknown-coff-objcopy"};

std::string CodeRoom(CalcKind kind) {
    if (kind == CalcKind::Ti83) return "the machine code runs past FFFFh: " + Ti83CodeRoom();
    return "the program runs past FFFFh: from 9D93h the TI-83 Plus has room for " +
           std::to_string(0x10000 - kTi83PlusProgramStart) + " bytes";
}

Status Put(const PrivateTempDir& dir, std::string_view name, std::string_view bytes) {
    const Status r = WriteWholeFile(dir / std::string(name), bytes);
    if (!r.ok()) return Status::Failed("cannot write the assembler's input: " + r.message);
    return {};
}

Status Link(const GnuAsSource& source, const ToolLimits& limits, std::string& program) {
    const CalcKind kind = source.Kind();
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = FindOnPath(kTools[i]);
        if (paths[i].empty())
            return Status::Failed(std::string(kTools[i]) + " was not found on PATH; install the Debian package " +
                                  std::string(kBinutilsPackage));
    }
    std::optional<PrivateTempDir> made;
    try {
        made.emplace(/*removeOnSignal=*/true);
    } catch (const std::system_error& e) {
        return Status::Failed(e.what(), e.code().value());
    }
    const PrivateTempDir& dir = *made;
    Status r = Put(dir, "prog.s", source.Text());
    if (r.ok()) r = Put(dir, EquatesName(kind), EquatesFile(kind));
    if (!r.ok()) return r;
    const std::vector<std::string> steps[] = {
        {kTools[0], "-o", "prog.o", "prog.s"},
        {kTools[1], "-o", "prog.out", "prog.o"},
        {kTools[2], "-O", "binary", "prog.out", "prog.bin"},
    };
    for (int i = 0; i < 3; ++i) {
        const ToolResult t = RunTool(paths[i], steps[i], dir.path(), limits);
        if (t.cancelled) return Status::Failed(std::string(kTools[i]) + " was stopped: cancelled");
        if (t.timedOut)
            return Status::Failed(std::string(kTools[i]) + " was stopped: it ran longer than " +
                                  std::to_string(limits.time.count() / 1000) + " s");
        if (!t.started)
            return Status::Failed(std::string(kTools[i]) + " could not be started: " + t.error + " (Debian package " +
                                  std::string(kBinutilsPackage) + ")");
        if (t.status != 0 && i == 0 && t.output.find("too large for field of 2 bytes") != std::string::npos)
            return Status::Failed(CodeRoom(kind));
        if (t.status != 0)
            return Status::Failed(std::string(kTools[i]) + " failed" +
                                  (t.status < 0 ? " (killed)" : " with status " + std::to_string(t.status)) +
                                  ":\n" + t.output);
    }
    // .org is relative to the section, linked at 0: the flat image holds zeros up to the start.
    std::string image;
    r = ReadWholeFile(dir / "prog.bin", image);
    if (!r.ok()) return Status::Failed("cannot read the linked program: " + r.message);
    const std::uint16_t start = ProgramStart(kind);
    if (image.size() <= start)
        return Status::Failed(kind == CalcKind::Ti83 ? "the linked program has no code at 9327h"
                                                     : "the linked program has no code at 9D93h");
    image.erase(0, start);
    if (kind == CalcKind::Ti83Plus) {
        // The strings follow the code; only the code must lie below C000h.
        const std::size_t code = image.size() - kTi83PlusAsmMark.size() - source.StringBytes();
        if (code > kTi83PlusMaxCode) return Status::Failed(Ti83PlusCodeProblem(code));
    }
    program = std::move(image);
    return {};
}

}  // namespace

std::uint16_t Ti83Equate(std::string_view name) {
    for (const Equate& e : kTi83Equates)
        if (e.name == name) return e.value;
    throw std::out_of_range("no TI-83 equate " + std::string(name));
}

std::string EquatesFile(CalcKind kind) {
    const bool ti83 = kind == CalcKind::Ti83;
    std::string out = ti83 ? "; TI-83 system routines and variables used by the generated programs.\n"
                           : "; TI-83 Plus system routines and variables used by the generated programs.\n";
    static_assert(std::size(kTi83Equates) == std::size(kTi83PlusEquates));
    for (std::size_t i = 0; i < std::size(kTi83Equates); ++i) {
        const Equate& e = ti83 ? kTi83Equates[i] : kTi83PlusEquates[i];
        out.append(e.name);
        out += " .equ 0";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[e.value >> shift & 15];
        out += "h\n";
    }
    return out;
}

void GnuAsSource::Line(std::string_view line) {
    if (StartsWith(line, "#include \"") && line.size() > 10 && line.back() == '"') {
        const std::string_view file = line.substr(10, line.size() - 11);
        if (file == "ti83asm.inc") {
            text_ += ".include \"" + equates_ + "\"\n";
            return;
        }
        if (file == "tokens.inc") {
            text_ += '\n';  // dropped; the empty line keeps the line numbers of the .asm file
            return;
        }
    }
    if (StartsWith(line, "#DEFINE ")) {
        std::string_view rest = line.substr(8);
        const std::size_t nameBegin = rest.find_first_not_of(" \t");
        if (nameBegin != std::string_view::npos) {
            const std::size_t nameEnd = rest.find_first_of(" \t", nameBegin);
            const std::size_t valueBegin = rest.find_first_not_of(" \t", nameEnd);
            if (nameEnd != std::string_view::npos && valueBegin != std::string_view::npos) {
                text_.append(rest.substr(nameBegin, nameEnd - nameBegin));
                text_ += " .equ ";
                text_.append(rest.substr(valueBegin));
                text_ += '\n';
                return;
            }
        }
    }
    if (kind_ == CalcKind::Ti83Plus) {
        if (line == ".org $9327") {
            text_ += ".org 9D93h\n\t.db 0BBh,6Dh\n";
            return;
        }
        if (SystemCall(line)) return;
    }
    if (!AppendDbLine(text_, line, stringBytes_)) text_.append(line);
    text_ += '\n';
}

// A call of a system routine becomes the TI-83 Plus system call, three bytes
// as the call is: rst 28h, then the routine's address.
bool GnuAsSource::SystemCall(std::string_view line) {
    const std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || !StartsWith(line.substr(at), "call")) return false;
    const std::size_t nameAt = line.find_first_not_of(" \t", at + 4);
    if (nameAt == at + 4 || nameAt == std::string_view::npos) return false;
    std::string_view name = line.substr(nameAt);
    name = name.substr(0, name.find_last_not_of(" \t") + 1);
    for (const Equate& e : kTi83PlusEquates) {
        if (e.name != name || e.name[0] != '_') continue;
        text_ += "\trst 28h\n\t.dw ";
        text_.append(name);
        text_ += '\n';
        return true;
    }
    return false;
}

namespace {

void FeedLines(std::string_view source, GnuAsSource& out) {
    out.Text().reserve(source.size() + source.size() / 8 + 64);
    for (std::size_t pos = 0; pos < source.size();) {
        std::size_t end = source.find("\r\n", pos);
        if (end == std::string_view::npos) end = source.size();
        out.Line(source.substr(pos, end - pos));
        pos = end + 2;
    }
}

}  // namespace

std::string ForGnuAs(std::string_view source, const std::string& equatesFile, CalcKind kind) {
    GnuAsSource out(equatesFile, kind);
    FeedLines(source, out);
    return std::move(out.Text());
}

Status AssembleSource(std::string_view source, CalcKind kind, std::string& program, const ToolLimits& limits) {
    GnuAsSource out{std::string(EquatesName(kind)), kind};
    FeedLines(source, out);
    return Link(out, limits, program);
}

Status AssembleText(std::string_view text, const AsmOpts& opts, CalcKind kind, std::string& program,
                    const ToolLimits& limits) {
    GnuAsSource source{std::string(EquatesName(kind)), kind};
    source.Text().reserve(text.size() * 2 + 4096);
    StreamAsm(text, opts, source);
    return Link(source, limits, program);
}

}  // namespace tavrilo
