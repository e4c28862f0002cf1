#include "tavrilo/calc/asm_build.h"

#include <stdexcept>
#include <vector>

#include "tavrilo/system/file_io.h"
#include "tavrilo/system/tool_run.h"

namespace tavrilo {

std::string Ti83CodeRoom() {
    return "from 9327h the TI-83 has room for " + std::to_string(kTi83MaxCode) + " bytes of code";
}

namespace {

constexpr std::string_view kEquatesName = "tavrilo_ti83.inc";

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

// Rewrites a .db line whose first item is a string; false for any other line.
bool AppendDbLine(std::string& out, std::string_view line) {
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
    return true;
}

constexpr const char* kTools[] = {"z80-unknown-coff-as", "z80-unknown-coff-ld",
                                   "z80-unknown-coff-objcopy"};

std::string CodeRoom() { return "the machine code runs past FFFFh: " + Ti83CodeRoom(); }

void Put(const PrivateTempDir& dir, const char* name, std::string_view bytes) {
    const Status r = WriteWholeFile(dir / name, bytes);
    if (!r.ok()) throw AsmBuildError("cannot write the assembler's input: " + r.message);
}

std::string Link(std::string_view gnuSource) {
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = FindOnPath(kTools[i]);
        if (paths[i].empty())
            throw AsmBuildError(std::string(kTools[i]) + " was not found on PATH; install the Debian package " +
                                std::string(kBinutilsPackage));
    }
    PrivateTempDir dir(/*removeOnSignal=*/true);
    Put(dir, "prog.s", gnuSource);
    Put(dir, std::string(kEquatesName).c_str(), Ti83EquatesFile());
    const std::vector<std::string> steps[] = {
        {kTools[0], "-o", "prog.o", "prog.s"},
        {kTools[1], "-o", "prog.out", "prog.o"},
        {kTools[2], "-O", "binary", "prog.out", "prog.bin"},
    };
    for (int i = 0; i < 3; ++i) {
        const ToolResult r = RunTool(paths[i], steps[i], dir.path());
        if (!r.started)
            throw AsmBuildError(std::string(kTools[i]) + " could not be started: " + r.error + " (Debian package " +
                                std::string(kBinutilsPackage) + ")");
        if (r.status != 0 && i == 0 && r.output.find("too large for field of 2 bytes") != std::string::npos)
            throw std::length_error(CodeRoom());
        if (r.status != 0)
            throw AsmBuildError(std::string(kTools[i]) + " failed" +
                                (r.status < 0 ? " (killed)" : " with status " + std::to_string(r.status)) +
                                ":\n" + r.output);
    }
    // .org is relative to the section, linked at 0: the flat image holds zeros up to the start.
    std::string image;
    const Status read = ReadWholeFile(dir / "prog.bin", image);
    if (!read.ok()) throw AsmBuildError("cannot read the linked program: " + read.message);
    if (image.size() <= kTi83ProgramStart) throw AsmBuildError("the linked program has no code at 9327h");
    return image.substr(kTi83ProgramStart);
}

}  // namespace

std::uint16_t Ti83Equate(std::string_view name) {
    for (const Equate& e : kTi83Equates)
        if (e.name == name) return e.value;
    throw std::out_of_range("no TI-83 equate " + std::string(name));
}

std::string Ti83EquatesFile() {
    std::string out = "; TI-83 system routines and variables used by the generated programs.\n";
    for (const Equate& e : kTi83Equates) {
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
    if (!AppendDbLine(text_, line)) text_.append(line);
    text_ += '\n';
}

std::string ForGnuAs(std::string_view source, const std::string& equatesFile) {
    GnuAsSource out(equatesFile);
    out.Text().reserve(source.size() + source.size() / 8 + 64);
    for (std::size_t pos = 0; pos < source.size();) {
        std::size_t end = source.find("\r\n", pos);
        if (end == std::string_view::npos) end = source.size();
        out.Line(source.substr(pos, end - pos));
        pos = end + 2;
    }
    return std::move(out.Text());
}

std::string AssembleSource(std::string_view source) {
    return Link(ForGnuAs(source, std::string(kEquatesName)));
}

std::string AssembleText(std::string_view text, const AsmOpts& opts) {
    GnuAsSource source{std::string(kEquatesName)};
    source.Text().reserve(text.size() * 2 + 4096);
    StreamAsm(text, opts, source);
    return Link(source.Text());
}

}  // namespace tavrilo
