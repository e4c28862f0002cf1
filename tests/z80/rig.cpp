#include "rig.h"

#include <z80ex/z80ex.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "../core/temp_dir.h"

namespace tavrilo::z80 {

namespace {

// Addresses of the stand-in include, read from the file itself.
struct Symbols {
    std::map<std::string, std::uint16_t> value;

    std::uint16_t operator[](const std::string& name) const {
        auto it = value.find(name);
        if (it == value.end()) {
            std::fprintf(stderr, "stand-in include lacks %s\n", name.c_str());
            std::abort();
        }
        return it->second;
    }
};

const Symbols& StandIn() {
    static const Symbols symbols = [] {
        Symbols s;
        std::istringstream in(test::Slurp(std::string(TAVRILO_Z80_INCLUDE) + "/ti83asm.inc"));
        std::string name, directive, number;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            if (line.empty() || line[0] == ';' || !(words >> name >> directive >> number)) continue;
            if (directive == ".equ" && number.back() == 'h')
                s.value[name] = static_cast<std::uint16_t>(std::stoul(number, nullptr, 16));
        }
        return s;
    }();
    return symbols;
}

constexpr std::uint16_t kExit = 0x3FFE;   // return address pushed before the run
constexpr std::uint16_t kStackTop = 0xFFF0;
constexpr std::uint16_t kRoutinesBegin = 0x4000, kRoutinesEnd = 0x4100;

// Runs a tool with its output added to log; returns what failed, or "".
std::string RunTool(const std::string& dir, const std::string& command, std::string& log) {
    const std::string out = dir + "/tool.log";
    int status = std::system((command + " >'" + out + "' 2>&1").c_str());
    log += test::Slurp(out);
    return status == 0 ? "" : "failed: " + command;
}

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
    if (addr >= kRoutinesBegin && addr < kRoutinesEnd)
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

std::string ForGnuAs(std::string_view source) {
    std::string out;
    out.reserve(source.size() + 256);
    std::size_t pos = 0;
    while (pos < source.size()) {
        std::size_t end = source.find('\n', pos);
        end = end == std::string_view::npos ? source.size() : end + 1;
        std::string_view line = source.substr(pos, end - pos);
        pos = end;
        std::string_view body = line;
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);
        const std::string_view eol = line.substr(body.size());
        if (body.rfind("#include \"", 0) == 0 && body.back() == '"') {
            std::string_view file = body.substr(10, body.size() - 11);
            out += ".include \"" + std::string(TAVRILO_Z80_INCLUDE) + "/" + std::string(file) + "\"";
            out += eol;
        } else if (body.rfind("#DEFINE ", 0) == 0) {
            std::istringstream words{std::string(body.substr(8))};
            std::string name, value;
            words >> name >> value;
            out += name + " .equ " + value;
            out += eol;
        } else {
            out += line;
        }
    }
    return out;
}

Build Assemble(std::string_view source) {
    test::TempDir dir;
    test::Spit(dir / "prog.asm", ForGnuAs(source));
    auto file = [&](const char* name) { return "'" + (dir / name) + "'"; };
    const std::string steps[] = {
        std::string(TAVRILO_Z80_AS) + " -o " + file("prog.o") + " " + file("prog.asm"),
        std::string(TAVRILO_Z80_LD) + " -o " + file("prog.out") + " " + file("prog.o"),
        std::string(TAVRILO_Z80_OBJCOPY) + " -O binary " + file("prog.out") + " " + file("prog.bin"),
    };
    Build b;
    for (const std::string& step : steps) {
        const std::string failed = RunTool(dir.path(), step, b.log);
        if (!failed.empty()) {
            b.log += failed;
            return b;
        }
    }
    // .org is relative to the section, which is linked at 0: the flat image
    // holds zeros up to kOrigin.
    const std::string image = test::Slurp(dir / "prog.bin");
    if (image.size() <= kOrigin) {
        b.log += "no code at " + Hex4(kOrigin);
        return b;
    }
    if (image.size() > kStackTop - 0x100) {
        b.log += "program runs into the stack";
        return b;
    }
    b.code.assign(image.begin() + kOrigin, image.end());
    b.ok = true;
    return b;
}

Run Execute(const std::vector<std::uint8_t>& code, const std::vector<std::uint8_t>& keys,
            long stepLimit) {
    const Symbols& sym = StandIn();
    Machine m;
    m.pencol = sym["pencol"];
    m.penrow = sym["penrow"];
    m.routines = {{sym["_ClrLCDFull"], Routine::ClrLCDFull},
                  {sym["_runIndicOff"], Routine::RunIndicOff},
                  {sym["_vputs"], Routine::Vputs},
                  {sym["_getkey"], Routine::Getkey},
                  {sym["_iline"], Routine::Iline}};
    std::copy(code.begin(), code.end(), m.mem.begin() + kOrigin);
    m.codeEnd = static_cast<std::uint16_t>(kOrigin + code.size());

    std::unique_ptr<Z80EX_CONTEXT, CpuDeleter> cpu(
        z80ex_create(ReadMem, &m, WriteMem, &m, ReadPort, &m, WritePort, &m, ReadInt, &m));
    Z80EX_CONTEXT* c = cpu.get();
    std::uint16_t sp = kStackTop - 2;
    m.mem[sp] = kExit & 0xFF;
    m.mem[sp + 1] = kExit >> 8;
    z80ex_set_reg(c, regSP, sp);
    z80ex_set_reg(c, regPC, kOrigin);

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
        auto routine = m.routines.find(pc);
        if (routine != m.routines.end()) {
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
            // Return as a ret would.
            std::uint16_t s = z80ex_get_reg(c, regSP);
            z80ex_set_reg(c, regPC, static_cast<std::uint16_t>(m.mem[s] | m.mem[(s + 1) & 0xFFFF] << 8));
            z80ex_set_reg(c, regSP, static_cast<std::uint16_t>(s + 2));
            ++run.steps;
            continue;
        }
        if (pc < kOrigin || pc >= m.codeEnd) {
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

Run AssembleAndRun(std::string_view source, const std::vector<std::uint8_t>& keys) {
    Build b = Assemble(source);
    if (!b.ok) {
        Run r;
        r.fault = "assembler: " + b.log;
        return r;
    }
    return Execute(b.code, keys);
}

}  // namespace tavrilo::z80
