// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/asm_build.h"

#include <iterator>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

std::string Ti83CodeRoom() {
    return "from 9327h the TI-83 has room for " + std::to_string(kTi83Asm.MaxCode()) + " bytes of code";
}

std::string Ti83CodeProblem(std::size_t atLeast) {
    return "This text needs at least " + Grouped(atLeast) +
           " bytes of machine code; a TI-83 program loaded at 9327h has room for " + Grouped(kTi83Asm.MaxCode()) +
           ". Use BASIC or a shorter text.";
}

std::string Ti83PlusCodeProblem(std::size_t code, bool atLeast) {
    return std::string("the program needs ") + (atLeast ? "at least " : "") + Grouped(code) +
           " bytes of code; the TI-83 Plus runs at most " + Grouped(kTi83PlusAsm.MaxCode()) +
           "; use BASIC or a shorter text";
}

namespace {

const AsmTarget& Target(CalcKind kind) { return *Calc(kind).asmTarget; }

std::string_view EquatesName(CalcKind kind) { return Target(kind).equatesFile; }

std::string Hex4(std::uint32_t v) {
    std::string out;
    for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[v >> shift & 15];
    return out;
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
    const AsmTarget& t = Target(kind);
    if (t.codeEnd == 0x10000) return "the machine code runs past FFFFh: " + Ti83CodeRoom();
    return "the program runs past FFFFh: from " + Hex4(t.load) + "h the " + std::string(Calc(kind).name) +
           " has room for " + std::to_string(0x10000 - t.load) + " bytes";
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
    const PrivateTempDir dir(/*removeOnSignal=*/true);
    if (!dir.Made().ok()) return dir.Made();
    Status r = Put(dir, "prog.s", source.Text());
    if (r.ok()) r = Put(dir, EquatesName(kind), EquatesFile(kind));
    if (!r.ok()) return r;
    const std::vector<std::string> steps[] = {
        {kTools[0], "-o", "prog.o", "prog.s"},
        {kTools[1], "-o", "prog.out", "prog.o"},
        {kTools[2], "-O", "binary", "prog.out", "prog.bin"},
    };
    for (int i = 0; i < 3; ++i) {
        std::string output;
        const Status t = RunTool(paths[i], steps[i], dir.path(), limits, output);
        if (t.ok()) continue;
        const std::string tool = kTools[i];
        if (t.cancelled()) return t;
        if (t.code == ETIME) return Status::Failed(tool + " " + t.message);
        // Not started, or not waited for: the system's error; else it failed.
        if (t.code != 0)
            return Status::Failed(tool + " " + t.message + " (Debian package " + std::string(kBinutilsPackage) + ")");
        if (i == 0 && output.find("too large for field of 2 bytes") != std::string::npos)
            return Status::Failed(CodeRoom(kind));
        return Status::Failed(tool + " " + t.message + ":\n" + output);
    }
    // .org is relative to the section, linked at 0: the flat image holds zeros up to the start.
    std::string image;
    r = ReadWholeFile(dir / "prog.bin", image);
    if (!r.ok()) return Status::Failed("cannot read the linked program: " + r.message);
    const AsmTarget& target = Target(kind);
    if (image.size() <= target.load) return Status::Failed("the linked program has no code at " + Hex4(target.load) + "h");
    image.erase(0, target.load);
    if (target.codeEnd < 0x10000) {
        // The strings follow the code; only the code must lie below the code end.
        const std::size_t code = image.size() - target.mark.size() - source.StringBytes();
        if (code > target.MaxCode()) return Status::Failed(Ti83PlusCodeProblem(code));
    }
    program = std::move(image);
    return {};
}

}  // namespace

std::string EquatesFile(CalcKind kind) {
    const AsmTarget& t = Target(kind);
    std::string out = "; " + std::string(Calc(kind).name) +
                      " system routines and variables used by the generated programs.\n";
    for (std::size_t i = 0; i < t.equateCount; ++i) {
        out.append(t.equates[i].name);
        out += " .equ 0" + Hex4(t.equates[i].value) + "h\n";
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
    const AsmTarget& target = Target(kind_);
    if (target.load != kTi83Asm.load) {
        if (line == ".org $9327") {
            text_ += ".org " + Hex4(target.load) + "h\n\t.db ";
            for (std::size_t i = 0; i < target.mark.size(); ++i) {
                const std::string hex = Hex4(static_cast<unsigned char>(target.mark[i])).substr(2);
                text_ += (i ? "," : "") + std::string(hex[0] > '9' ? "0" : "") + hex + 'h';
            }
            text_ += '\n';
            return;
        }
    }
    if (target.systemCallsByRst && SystemCall(line)) return;
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
    const AsmTarget& target = Target(kind_);
    for (std::size_t i = 0; i < target.equateCount; ++i) {
        const Equate& e = target.equates[i];
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
