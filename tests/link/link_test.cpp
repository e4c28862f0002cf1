// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>

#include "../core/calc_files.h"
#include "calc_standin.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/link/link.h"

using namespace tavrilo;
using test::FileOf;
using Clock = std::chrono::steady_clock;

namespace {

LinkOptions Virtual(int timeout = 5, const std::atomic<bool>* cancel = nullptr) {
    LinkOptions o;
    o.cable = CableKind::Virtual;
    o.timeoutSeconds = timeout;
    o.cancel = cancel;
    return o;
}

void Send(const ProgramVar& v, const LinkOptions& o = Virtual(), const LinkProgress& p = {}) {
    const Status r = SendProgram(o, v, {}, p);
    EXPECT_TRUE(r.ok()) << r.message;
}

// The sentence of a send that must fail.
std::string Failure(const ProgramVar& v, const LinkOptions& o = Virtual(), const LinkProgress& p = {}) {
    const Status r = SendProgram(o, v, {}, p);
    EXPECT_FALSE(r.ok());
    return r.message;
}

std::string OpenFailure(const LinkOptions& o) {
    std::unique_ptr<Link> link;
    const Status r = Link::Open(o, CalcKind::Ti83, link);
    EXPECT_FALSE(r.ok());
    return r.message;
}

std::string Tokens(std::size_t n) { return std::string(n, '\xDE'); }  // Disp

ProgramVar Var(const std::string& file) {
    ProgramVar v;
    const Status r = DecodeProgramFile(file, v);
    EXPECT_TRUE(r.ok()) << r.message;
    return v;
}

ProgramVar Story() { return Var(FileOf(CalcKind::Ti83Plus, "STORY", Tokens(24000), "")); }

// After a fault the stand-in and the link are both usable again.
void NextSendWorks(CalcStandIn& calc) {
    calc.Set(CalcStandIn::Fault::None);
    Send(Story());
    ASSERT_EQ(calc.Stored().size(), 1u);
    EXPECT_EQ(calc.Stored()[0].data.size(), 24002u);
}

}  // namespace

TEST(Link, EachProgramFileKindArrivesAsItsVariable) {
    const std::string code("\x21\x00\x00\xC9", 4);
    struct Case {
        CalcKind kind;
        const char* name;
        std::uint8_t type;
        std::string tokens;
    } cases[] = {
        {CalcKind::Ti83, "BASIC", 0x05, Tokens(300)},
        {CalcKind::Ti83, "ASM", 0x06, HexTokens(code)},
        {CalcKind::Ti83Plus, "STORY", 0x05, Tokens(24000)},
        {CalcKind::Ti83Plus, "PLUSASM", 0x06, "\xBB\x6D" + code},
    };
    for (const Case& c : cases) {
        CalcStandIn calc(c.kind == CalcKind::Ti83Plus);
        const std::string file =
            c.type == 0x06 ? test::AsmFileOf(c.name, c.tokens, "", c.kind) : FileOf(c.kind, c.name, c.tokens, "");
        std::size_t last = 0;
        const auto t0 = Clock::now();
        Send(Var(file), Virtual(), [&](std::size_t sent, std::size_t) { last = sent; });
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
        std::cout << c.name << ": " << c.tokens.size() + 2 << " bytes in " << ms << " ms\n";

        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(c.tokens.size() & 255),
                                       static_cast<std::uint8_t>(c.tokens.size() >> 8)};
        data.insert(data.end(), c.tokens.begin(), c.tokens.end());
        const auto stored = calc.Stored();
        ASSERT_EQ(stored.size(), 1u) << c.name;
        EXPECT_EQ(stored[0].type, c.type) << c.name;
        EXPECT_EQ(stored[0].name, c.name);
        EXPECT_EQ(stored[0].data, data) << c.name;
        EXPECT_EQ(last, data.size()) << c.name;
    }
}

TEST(Link, AsksBeforeReplacingAProgramOfTheSameName) {
    CalcStandIn calc(true);
    Send(Story());
    ProgramVar other = Story();
    other.name = "OTHER";
    std::vector<std::string> asked;
    const auto no = [&](const std::string& name) { return asked.push_back(name), false; };
    EXPECT_TRUE(SendProgram(Virtual(), Story(), no).cancelled());
    EXPECT_TRUE(SendProgram(Virtual(), other, no).ok());
    EXPECT_EQ(asked, std::vector<std::string>{"STORY"});
    EXPECT_EQ(calc.Stored().size(), 2u);
}

TEST(Link, RefusesAProgramThatDoesNotFit) {
    CalcStandIn calc(true);
    calc.SetFreeMemory(20000);
    EXPECT_EQ(Failure(Story()), "STORY needs 24,014 bytes; the calculator has 20,000 free");
    EXPECT_TRUE(calc.Stored().empty());
}

TEST(Link, CalculatorThatNeverAnswersFailsWithinTheTimeout) {
    CalcStandIn calc(true);
    calc.Set(CalcStandIn::Fault::Silent);
    const ProgramVar story = Story();
    FindCables();  // the libraries' start-up is not part of the wait
    const auto t0 = Clock::now();
    EXPECT_EQ(Failure(story, Virtual(1)),
              "The TI-83 Plus did not answer within 1 second: check that it is on and at its home screen.");
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(4));  // 1 s, and room for a loaded machine
    NextSendWorks(calc);
}

TEST(Link, CalculatorThatRefusesSaysWhy) {
    CalcStandIn calc(false);
    const ProgramVar v = Var(FileOf(CalcKind::Ti83, "STORY", Tokens(10), ""));
    calc.Set(CalcStandIn::Fault::Reject, 3);  // memory
    EXPECT_EQ(Failure(v), "The TI-83 refused STORY: its memory is full.");
    calc.Set(CalcStandIn::Fault::Reject, 2);  // skip: libticalcs itself reports no failure
    EXPECT_EQ(Failure(v), "The TI-83 refused STORY: it will not take a program of that name.");
    NextSendWorks(calc);
}

TEST(Link, LinkCutPartWayIsABrokenLink) {
    CalcStandIn calc(true);
    calc.Set(CalcStandIn::Fault::CutAfter, 3000);
    EXPECT_EQ(Failure(Story(), Virtual(2)), "The link broke while sending STORY: check the cable and send it again.");
    EXPECT_TRUE(calc.Stored().empty());
    NextSendWorks(calc);
}

TEST(Link, CancelPartWay) {
    CalcStandIn calc(true);
    std::atomic<bool> cancel{false};
    const Status r = SendProgram(Virtual(5, &cancel), Story(), {}, [&](std::size_t sent, std::size_t) {
        if (sent > 0) cancel = true;
    });
    EXPECT_TRUE(r.cancelled());
    EXPECT_EQ(r.message, "Cancel by user");
    EXPECT_TRUE(calc.Stored().empty());
    NextSendWorks(calc);
}

TEST(Link, NoCableSaysWhichAreLookedFor) {
    if (!FindCables().empty()) GTEST_SKIP() << "a USB link cable is plugged in";
    const std::string none = OpenFailure(LinkOptions{});
    EXPECT_NE(none.find("SilverLink"), std::string::npos);
    EXPECT_NE(none.find("GrayLink"), std::string::npos);
    LinkOptions gray;
    gray.cable = CableKind::GrayLink;
    EXPECT_NE(OpenFailure(gray).find("port named"), std::string::npos);
    gray.device = "/nonexistent/ttyS9";
    EXPECT_EQ(OpenFailure(gray), "The serial port /nonexistent/ttyS9 cannot be used (No such file or directory): check "
                                 "that it is the GrayLink's port and that you may use it (group dialout).");
}
