// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig.h"

#include <z80ex/z80ex.h>

#include <map>
#include <memory>

#include "tavrilo/calc/asm_build.h"

namespace tavrilo::z80 {

namespace {

constexpr std::uint16_t kExit = 0x3FFE;   // return address pushed before the run
constexpr std::uint16_t kStackTop = 0xFFF0;
constexpr unsigned kRomEnd = 0x8000;  // the system routines live below

char Hex(int v) { return "0123456789ABCDEF"[v & 15]; }

std::string Hex4(unsigned v) {
    return {Hex(v >> 12), Hex(v >> 8), Hex(v >> 4), Hex(v), 'h'};
}

enum class Routine { ClrLCDFull, RunIndicOff, Vputs, Getkey, Iline };

struct Machine {
    std::vector<std::uint8_t> mem = std::vector<std::uint8_t>(0x10000, 0);
    std::string fault;
    std::uint16_t codeEnd = 0;
    std::map<std::uint16_t, Routine> routines;
    std::uint16_t pencol = 0, penrow = 0;

    void Fail(const std::string& what) {
        if (fault.empty()) fault = what;
    }
};

Z80EX_BYTE ReadMem(Z80EX_CONTEXT*, Z80EX_WORD addr, int, void* m) {
    return static_cast<Machine*>(m)->mem[addr];
}

void WriteMem(Z80EX_CONTEXT*, Z80EX_WORD addr, Z80EX_BYTE value, void* m) {
    auto* machine = static_cast<Machine*>(m);
    if (addr < kRomEnd)
        machine->Fail("write into the system routines at " + Hex4(addr));
    machine->mem[addr] = value;
}

Z80EX_BYTE ReadPort(Z80EX_CONTEXT*, Z80EX_WORD port, void* m) {
    static_cast<Machine*>(m)->Fail("port read from " + Hex4(port));
    return 0xFF;
}

void WritePort(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE, void* m) {
    static_cast<Machine*>(m)->Fail("port write to " + Hex4(port));
}

Z80EX_BYTE ReadInt(Z80EX_CONTEXT*, void*) { return 0xFF; }

struct CpuDeleter {
    void operator()(Z80EX_CONTEXT* cpu) const { z80ex_destroy(cpu); }
};

}  // namespace

std::string Describe(const Screen& s) {
    std::string out = "{";
    for (const Text& t : s.texts)
        out += " (" + std::to_string(t.row) + "," + std::to_string(t.col) + ") \"" + t.s + "\"";
    for (const Line& l : s.lines)
        out += " line (" + std::to_string(l.x1) + "," + std::to_string(l.y1) + ")-(" +
               std::to_string(l.x2) + "," + std::to_string(l.y2) + ")";
    return out + " }";
}

std::string Describe(const std::vector<Screen>& screens) {
    std::string out;
    for (std::size_t i = 0; i < screens.size(); ++i)
        out += "wait " + std::to_string(i + 1) + ": " + Describe(screens[i]) + "\n";
    return out;
}

Build Assemble(std::string_view source, Model model) {
    Build b;
    std::string code;
    const Status r = AssembleSource(source, model == Model::Ti83 ? CalcKind::Ti83 : CalcKind::Ti83Plus, code);
    b.ok = r.ok();
    b.log = r.message;
    b.code.assign(code.begin(), code.end());
    if (b.ok && b.code.size() > kStackTop - 0x100u - (model == Model::Ti83 ? kOrigin : kPlusLoad)) {
        b.ok = false;
        b.log = "program runs into the stack";
    }
    return b;
}

namespace {

unsigned Word(std::string_view s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

namespace {

// The bytes of the one protected program a .83p or .8xp file holds. After the
// signature, comment and data length: entry header length (0Bh, or 0Dh with
// version and flag), variable length, type, name, variable length again,
// byte count and bytes.
std::string_view ProtectedProgram(std::string_view file, bool plus, std::string& problem) {
    constexpr std::size_t kData = 55;
    const std::size_t header = plus ? 0x0D : 0x0B, bytes = kData + 2 + header + 4;
    problem.clear();
    if (file.size() < bytes + 2 ||
        file.substr(0, 11) != std::string_view(plus ? "**TI83F*\x1A\x0A\0" : "**TI83**\x1A\x0A\0", 11)) {
        problem = plus ? "not a TI-83 Plus file" : "not a TI-83 file";
        return {};
    }
    const std::size_t count = Word(file, bytes - 2);
    if (Word(file, kData) != header || file[kData + 4] != 0x06 || bytes + count + 2 != file.size() ||
        Word(file, kData + 2) != count + 2)
        problem = "not one protected program of " + std::to_string(count) + " tokens";
    return problem.empty() ? file.substr(bytes, count) : std::string_view();
}

}  // namespace

std::vector<std::uint8_t> DecodeHexProgram(std::string_view file, std::string& problem) {
    const std::string_view trailer("\x3F\xD4\x3F\x30\x30\x30\x30\x3F\xD4", 9);
    std::string_view tokens = ProtectedProgram(file, false, problem);
    if (!problem.empty()) return {};
    if (tokens.size() < trailer.size() || tokens.substr(tokens.size() - trailer.size()) != trailer) {
        problem = "the digits do not end with the End trailer";
        return {};
    }
    tokens.remove_suffix(trailer.size());
    std::vector<std::uint8_t> code;
    for (std::size_t i = 0; i + 1 < tokens.size(); i += 2) {
        const int hi = HexValue(tokens[i]), lo = HexValue(tokens[i + 1]);
        if (hi < 0 || lo < 0) {
            problem = "no hex digit pair at token " + std::to_string(i);
            return {};
        }
        code.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    if (tokens.size() % 2 != 0) problem = "an odd number of hex digits";
    return code;
}

std::vector<std::uint8_t> DecodePlusProgram(std::string_view file, std::string& problem) {
    const std::string_view program = ProtectedProgram(file, true, problem);
    if (problem.empty() && program.substr(0, 2) != "\xBB\x6D") problem = "no BBh 6Dh before the code";
    if (!problem.empty()) return {};
    return {program.begin(), program.end()};
}

Run Execute(const std::vector<std::uint8_t>& code, const std::vector<std::uint8_t>& keys, Model model,
            long stepLimit) {
    Machine m;
    const bool plus = model == Model::Ti83Plus;
    const std::uint16_t load = plus ? kPlusLoad : kOrigin;
    if (code.size() > kStackTop - 0x100u - load) {
        Run r;
        r.fault = "program runs into the stack";
        return r;
    }
    // The addresses are written out here, not taken from the core: a wrong equate shows.
    // _ClrLCDFull, _runIndicOff, _vputs, _getkey, _iline
    const std::uint16_t ti83At[] = {0x4755, 0x4795, 0x4781, 0x4CFE, 0x4AE4};
    const std::uint16_t plusAt[] = {0x4540, 0x4570, 0x4561, 0x4972, 0x47E0};
    for (int i = 0; i < 5; ++i) m.routines[plus ? plusAt[i] : ti83At[i]] = static_cast<Routine>(i);
    m.pencol = plus ? 0x86D7 : 0x8252;
    m.penrow = plus ? 0x86D8 : 0x8253;
    std::copy(code.begin(), code.end(), m.mem.begin() + load);
    m.codeEnd = static_cast<std::uint16_t>(load + code.size());
    const std::uint16_t start = plus ? kPlusStart : kOrigin;

    std::unique_ptr<Z80EX_CONTEXT, CpuDeleter> cpu(
        z80ex_create(ReadMem, &m, WriteMem, &m, ReadPort, &m, WritePort, &m, ReadInt, &m));
    Z80EX_CONTEXT* c = cpu.get();
    std::uint16_t sp = kStackTop - 2;
    m.mem[sp] = kExit & 0xFF;
    m.mem[sp + 1] = kExit >> 8;
    z80ex_set_reg(c, regSP, sp);
    z80ex_set_reg(c, regPC, start);

    Run run;
    Screen screen;
    std::size_t nextKey = 0;
    // Registers a routine does not return are left with junk in them.
    auto clobber = [&](bool keepA) {
        const std::uint16_t junk = static_cast<std::uint16_t>(0xA5C3 ^ (run.steps * 0x9E37));
        z80ex_set_reg(c, regAF, keepA ? (z80ex_get_reg(c, regAF) & 0xFF00) | (junk & 0xFF) : junk);
        z80ex_set_reg(c, regBC, junk ^ 0x1111);
        z80ex_set_reg(c, regDE, junk ^ 0x2222);
        z80ex_set_reg(c, regHL, junk ^ 0x3333);
    };

    while (m.fault.empty()) {
        if (run.steps >= stepLimit) {
            m.Fail("step limit of " + std::to_string(stepLimit) + " reached");
            break;
        }
        const std::uint16_t pc = z80ex_get_reg(c, regPC);
        if (pc == kExit) break;
        // The TI-83 reaches a routine by call, the TI-83 Plus by rst 28h and the routine's address.
        const bool systemCall = plus && pc >= start && pc < m.codeEnd && m.mem[pc] == 0xEF;
        const std::uint16_t target =
            systemCall ? static_cast<std::uint16_t>(m.mem[(pc + 1) & 0xFFFF] | m.mem[(pc + 2) & 0xFFFF] << 8) : pc;
        auto routine = m.routines.find(target);
        if (systemCall && routine == m.routines.end()) {
            m.Fail("rst 28h to " + Hex4(target) + ", where no system routine is");
            break;
        }
        if (routine != m.routines.end() && (systemCall || !plus)) {
            bool keepA = false;
            switch (routine->second) {
                case Routine::ClrLCDFull:
                    screen = Screen{};
                    break;
                case Routine::RunIndicOff:
                    run.runIndicOff = true;
                    break;
                case Routine::Vputs: {
                    std::uint16_t at = z80ex_get_reg(c, regHL);
                    std::string s;
                    while (m.mem[at] != 0 && s.size() < 256) s.push_back(static_cast<char>(m.mem[at++]));
                    if (m.mem[at] != 0) {
                        m.Fail("_vputs: no zero byte ends the string");
                        break;
                    }
                    int width = 0;
                    for (char ch : s) width += ch == ' ' ? 1 : 4;
                    if (!s.empty()) screen.texts.push_back({m.mem[m.penrow], m.mem[m.pencol], s});
                    m.mem[m.pencol] = static_cast<std::uint8_t>(m.mem[m.pencol] + width);
                    break;
                }
                case Routine::Getkey: {
                    run.waits.push_back(screen);
                    const std::uint8_t key = nextKey < keys.size() ? keys[nextKey++] : kOtherKey;
                    z80ex_set_reg(c, regAF, static_cast<std::uint16_t>(key << 8));
                    keepA = true;
                    break;
                }
                case Routine::Iline: {
                    const std::uint16_t bc = z80ex_get_reg(c, regBC), de = z80ex_get_reg(c, regDE);
                    screen.lines.push_back({bc >> 8, bc & 0xFF, de >> 8, de & 0xFF});
                    break;
                }
            }
            clobber(keepA);
            // Return after the system call's address, or as a ret would.
            std::uint16_t s = z80ex_get_reg(c, regSP);
            z80ex_set_reg(c, regPC, static_cast<std::uint16_t>(systemCall ? pc + 3 : m.mem[s] | m.mem[(s + 1) & 0xFFFF] << 8));
            if (!systemCall) z80ex_set_reg(c, regSP, static_cast<std::uint16_t>(s + 2));
            ++run.steps;
            continue;
        }
        if (plus && pc >= kPlusCodeEnd) {
            m.Fail("code run at " + Hex4(pc) + ", at or past C000h");
            break;
        }
        if (pc < start || pc >= m.codeEnd) {
            m.Fail("program counter outside the program at " + Hex4(pc));
            break;
        }
        // One whole instruction: z80ex steps prefix bytes one at a time.
        do z80ex_step(c);
        while (z80ex_last_op_type(c) != 0 && m.fault.empty());
        if (z80ex_doing_halt(c)) m.Fail("halt at " + Hex4(pc));
        ++run.steps;
    }
    run.fault = m.fault;
    return run;
}

Run AssembleAndRun(std::string_view source, const std::vector<std::uint8_t>& keys, Model model) {
    Build b = Assemble(source, model);
    if (!b.ok) {
        Run r;
        r.fault = "assembler: " + b.log;
        return r;
    }
    return Execute(b.code, keys, model);
}

Run RunProgramFile(std::string_view file, const std::vector<std::uint8_t>& keys) {
    std::string problem;
    const Model model = file.substr(0, 8) == "**TI83F*" ? Model::Ti83Plus : Model::Ti83;
    const std::vector<std::uint8_t> code =
        model == Model::Ti83 ? DecodeHexProgram(file, problem) : DecodePlusProgram(file, problem);
    if (!problem.empty()) {
        Run r;
        r.fault = "program file: " + problem;
        return r;
    }
    return Execute(code, keys, model);
}

}  // namespace tavrilo::z80
