// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <grp.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <iostream>

#include "../core/calc_files.h"
#include "calc_standin.h"
#include "tavrilo/calc/asm_program_file.h"
#include "tavrilo/calc/program_file.h"
#include "tavrilo/link/link.h"
#include "../core/temp_dir.h"

#include <filesystem>
#include <memory>
#include <thread>

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

// The virtual link to a calculator on its own USB port: the USB protocol.
LinkOptions Usb(CalcKind calc, bool archive = false, int timeout = 5, const std::atomic<bool>* cancel = nullptr) {
    LinkOptions o = Virtual(timeout, cancel);
    o.target = LinkTarget{calc, true};
    o.archive = archive;
    return o;
}

// The faults are tried on both protocols: a TI-83 Plus on the serial one, a TI-84 Plus on the USB one.
std::unique_ptr<CalcStandIn> StandIn(bool usb) {
    return usb ? std::make_unique<CalcStandIn>(CalcStandIn::Usb::Ti84Plus) : std::make_unique<CalcStandIn>(true);
}
LinkOptions On(bool usb, int timeout = 5, const std::atomic<bool>* cancel = nullptr) {
    return usb ? Usb(CalcKind::Ti83Plus, false, timeout, cancel) : Virtual(timeout, cancel);
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
void NextSendWorks(CalcStandIn& calc, const LinkOptions& o = Virtual()) {
    calc.Set(CalcStandIn::Fault::None);
    Send(Story(), o);
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

// On the serial protocol, and by the variable list over USB on a TI-84 Plus and a CE.
TEST(Link, AsksBeforeReplacingAProgramOfTheSameName) {
    for (const int kind : {0, 1, 2}) {
        std::unique_ptr<CalcStandIn> calc =
            kind < 2 ? StandIn(kind == 1) : std::make_unique<CalcStandIn>(CalcStandIn::Usb::Ce);
        const LinkOptions o = kind < 2 ? On(kind == 1) : Usb(CalcKind::Ti84PlusCe);
        Send(Story(), o);
        ProgramVar other = Story();
        other.name = "OTHER";
        std::vector<std::string> asked;
        const auto no = [&](const std::string& name) { return asked.push_back(name), false; };
        EXPECT_TRUE(SendProgram(o, Story(), no).cancelled());
        EXPECT_TRUE(SendProgram(o, other, no).ok());
        EXPECT_EQ(asked, std::vector<std::string>{"STORY"}) << kind;
        EXPECT_EQ(calc->Stored().size(), 2u) << kind;
    }
}

// In RAM on both protocols; in Archive against free Archive.
TEST(Link, RefusesAProgramThatDoesNotFit) {
    for (const bool usb : {false, true}) {
        std::unique_ptr<CalcStandIn> calc = StandIn(usb);
        calc->SetFreeMemory(20000);
        EXPECT_EQ(Failure(Story(), On(usb)), "STORY needs 24,014 bytes; the calculator has 20,000 free");
        EXPECT_TRUE(calc->Stored().empty());
        if (!usb) continue;
        Send(Story(), Usb(CalcKind::Ti83Plus, true));
        calc->SetFreeArchive(1000);
        EXPECT_EQ(Failure(Story(), Usb(CalcKind::Ti83Plus, true)),
                  "STORY needs 24,014 bytes; the calculator has 1,000 free in Archive");
    }
}

// By the wall clock (libticables counts the process's processor time), on both protocols.
TEST(Link, CalculatorThatNeverAnswersFailsWithinTheTimeout) {
    const ProgramVar story = Story();
    FindCables();  // the libraries' start-up is not part of the wait
    for (const bool usb : {false, true}) {
        std::unique_ptr<CalcStandIn> calc = StandIn(usb);
        calc->Set(CalcStandIn::Fault::Silent);
        const auto t0 = Clock::now();
        EXPECT_EQ(Failure(story, On(usb, usb ? 2 : 1)),
                  usb ? "The TI-84 Plus did not answer within 2 seconds: check that it is on and at its home screen."
                      : "The TI-83 Plus did not answer within 1 second: check that it is on and at its home screen.");
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(usb ? 3 : 4));  // and room for a loaded machine
        NextSendWorks(*calc, On(usb));
    }
}

TEST(Link, NoEmulatorOnTheVirtualLinkIsSaidSo) {
    for (const ProgramVar& v : {Story(), Var(FileOf(CalcKind::Ti83, "STORY", Tokens(10), ""))})
        EXPECT_EQ(Failure(v, Virtual(1)), "No emulator is on the virtual link: start one with its link on, or turn "
                                          "its link off and on again; then send again.");
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
    for (const bool usb : {false, true}) {
        std::unique_ptr<CalcStandIn> calc = StandIn(usb);
        calc->Set(CalcStandIn::Fault::CutAfter, 3000);
        EXPECT_EQ(Failure(Story(), On(usb, 2)),
                  "The link broke while sending STORY: check the cable and send it again.");
        EXPECT_TRUE(calc->Stored().empty());
        NextSendWorks(*calc, On(usb));
    }
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

// An emulator or another test run on the machine's virtual link does not meet
// these tests: the stand-in's ring is not where the machine's keys lead.
TEST(Link, TheTestsVirtualLinkIsTheirOwn) {
    if (!VirtualLinkShared().empty()) GTEST_SKIP() << VirtualLinkShared();
    CalcStandIn calc(true);
    const pid_t self = getpid(), pid = fork();
    shmid_ds st{};
    if (pid == 0) _exit(setns(StartingIpcNamespace(), CLONE_NEWIPC) != 0 ? 2 : shmctl(shmget(ftok("/tmp", 0), 0, 0), IPC_STAT, &st) == 0 && st.shm_cpid == self);
    int status = -1;
    waitpid(pid, &status, 0);
    if (status == 2 << 8) GTEST_SKIP() << "cannot enter the IPC namespace the run started in";
    EXPECT_EQ(status, 0);
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

namespace {

struct UsbCalc {
    CalcStandIn::Usb model;
    CalcKind calc;
};
const UsbCalc kUsbCalcs[] = {{CalcStandIn::Usb::Ti84Plus, CalcKind::Ti83Plus},
                             {CalcStandIn::Usb::Ce, CalcKind::Ti84PlusCe}};

}  // namespace

TEST(UsbLink, ProgramsArriveInRamOrInArchive) {
    const std::string code("\x21\x00\x00\xC9", 4);
    for (const UsbCalc& u : kUsbCalcs)
        for (const bool archive : {false, true}) {
            CalcStandIn calc(u.model);
            ProgramVar own = Story();
            own.calc = u.calc;
            // A TI-83 Plus BASIC program goes to a CE unchanged; its assembly does not (CheckTarget's test).
            std::vector<ProgramVar> vars{own, Story(), Var(test::AsmFileOf("PLUSASM", "\xBB\x6D" + code, "", CalcKind::Ti83Plus))};
            if (u.calc != CalcKind::Ti83Plus) vars.pop_back();
            for (const ProgramVar& v : vars) {
                std::size_t last = 0;
                const auto t0 = Clock::now();
                Send(v, Usb(u.calc, archive), [&](std::size_t sent, std::size_t) { last = sent; });
                std::cout << v.name << " over USB: " << v.tokens.size() + 2 << " bytes in "
                          << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count()
                          << " ms\n";
                const StoredVar got = calc.Stored().back();
                std::string data(got.data.begin(), got.data.end());
                EXPECT_EQ(data.substr(2), v.tokens);
                EXPECT_EQ(got.data[0] | got.data[1] << 8, static_cast<int>(v.tokens.size()));
                EXPECT_EQ(got.name + char('0' + got.type) + char('0' + got.archived),
                          v.name + char('0' + v.type) + char('0' + archive));
                EXPECT_EQ(last, data.size());
            }
        }
}

TEST(UsbLink, ARefusalSaysWhyWithItsErrorCode) {
    CalcStandIn calc(CalcStandIn::Usb::Ti84Plus);
    calc.Set(CalcStandIn::Fault::Reject, 0x0C);
    EXPECT_EQ(Failure(Story(), Usb(CalcKind::Ti83Plus)), "The TI-84 Plus refused STORY: its memory is full (error code 0Ch).");
    calc.Set(CalcStandIn::Fault::Reject, 0x1B);
    EXPECT_EQ(Failure(Story(), Usb(CalcKind::Ti83Plus)),
              "The TI-84 Plus refused STORY: it is too large for one variable (error code 1Bh).");
    calc.Set(CalcStandIn::Fault::Reject, 0x7A);
    EXPECT_EQ(Failure(Story(), Usb(CalcKind::Ti83Plus)),
              "The TI-84 Plus refused STORY: error code 7Ah, which the link library does not name.");
    NextSendWorks(calc, On(true));
}

// Both protocols; what a short answer leaves unread would refuse the program.
TEST(UsbLink, AFreeMemoryAnswerTooShortIsUnknown) {
    for (const bool usb : {false, true}) {
        std::unique_ptr<CalcStandIn> calc = StandIn(usb);
        calc->SetFreeMemory(100);
        calc->Set(CalcStandIn::Fault::ShortFree, usb ? 2 : 1);
        Send(Story(), On(usb));
        EXPECT_EQ(calc->Stored().size(), 1u) << usb;
    }
}

// The calculator stops reading part way; the time given is long.
TEST(UsbLink, CancelEndsAWaitingSendWithinASecond) {
    for (const bool usb : {false, true}) {
        std::unique_ptr<CalcStandIn> calc = usb ? std::make_unique<CalcStandIn>(CalcStandIn::Usb::Ti84Plus)
                                                : std::make_unique<CalcStandIn>(false);
        calc->Set(CalcStandIn::Fault::CutAfter, 1000);
        std::atomic<bool> cancel{false};
        const ProgramVar v = Var(FileOf(usb ? CalcKind::Ti83Plus : CalcKind::Ti83, "STORY", Tokens(9000), ""));
        LinkOptions o = usb ? Usb(CalcKind::Ti83Plus, false, 600, &cancel) : Virtual(600, &cancel);
        Clock::time_point asked{};
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            asked = Clock::now();
            cancel = true;
        });
        EXPECT_TRUE(SendProgram(o, v).cancelled());
        canceller.join();
        EXPECT_LT(Clock::now() - asked, std::chrono::milliseconds(1500)) << usb;
        usb ? NextSendWorks(*calc, On(true)) : void(calc->Set(CalcStandIn::Fault::None));
    }
}

// The kernel's list of USB devices and their nodes, made in dir.
LinkOptions UsbBus(const test::TempDir& dir) {
    LinkOptions o;
    o.usbDevices = dir / "devices";
    o.usbNodes = dir / "nodes";
    return o;
}

// Device 0451:product of a version as bus 1, device 9, node usbNodes/001/009.
void Plug(const LinkOptions& o, const std::string& product, const std::string& version = "0100") {
    const std::string device = o.usbDevices + "/1-" + product;
    std::filesystem::create_directories(device);
    for (auto [file, text] : {std::pair{"idVendor", "0451"}, {"idProduct", product.c_str()},
                              {"bcdDevice", version.c_str()}, {"busnum", "1"}, {"devnum", "9"}})
        test::Spit(device + "/" + file, std::string(text) + "\n");
    std::filesystem::create_directories(o.usbNodes + "/001");
    test::Spit(o.usbNodes + "/001/009", "");
}

// What the kernel lists decides the calculator.
TEST(UsbLink, TheDeviceOnTheBusDecidesTheCalculator) {
    test::TempDir dir;
    const LinkOptions o = UsbBus(dir);
    const auto target = [&](CalcKind calc) {
        LinkTarget t{CalcKind::Ti83, false};
        const Status r = FindTarget(o, calc, t);
        return r.ok() ? TargetName(t) + (t.ownUsb ? " on USB" : " on a link cable") : r.message;
    };
    EXPECT_NE(target(CalcKind::Ti83).find("No link cable found"), std::string::npos);
    Plug(o, "e010");
    EXPECT_EQ(target(CalcKind::Ti83Plus), "A TI device is on the USB bus (TI device 0451:e010) that the link cannot "
                                          "open: unplug it, quit any app on the calculator, then plug it in again.");
    Plug(o, "e003");
    EXPECT_EQ(target(CalcKind::Ti83), "TI-84 Plus on USB");
    std::filesystem::remove_all(o.usbDevices + "/1-e003");
    // E008 by its version: a TI-84 Plus Silver Edition, a CE, a TI-84 Plus C Silver Edition, unreadable.
    std::filesystem::remove_all(o.usbDevices + "/1-e010");
    for (auto [version, found] : {std::pair{"0110", "TI-84 Plus on USB"}, {"0220", "TI-84 Plus CE on USB"},
                                  {"0120", "(TI-84 Plus C Silver Edition) is not one"}, {"", "(TI device 0451:e008)"}}) {
        Plug(o, "e008", version);
        EXPECT_NE(target(CalcKind::Ti83Plus).find(found), std::string::npos) << version;
    }
    std::filesystem::remove_all(o.usbDevices + "/1-e008");
    Plug(o, "e001");
    EXPECT_EQ(target(CalcKind::Ti83), "TI-83 on a link cable");
}

// A node only its group may use, tried by a user outside it (as nobody, for
// access() asks as the real user, where the tests run as root): the sentence
// names that group.
TEST(UsbLink, ADeviceTheUserMayNotUseNamesTheGroupToJoin) {
    test::TempDir dir;
    const LinkOptions o = UsbBus(dir);
    Plug(o, "e003");
    const std::string node = o.usbNodes + "/001/009";
    const bool root = geteuid() == 0;
    const gid_t gid = root ? getgrnam("plugdev")->gr_gid : getegid();
    ASSERT_EQ(chown(node.c_str(), geteuid(), gid), 0);
    ASSERT_EQ(chmod(node.c_str(), root ? 0660 : 0), 0);
    ASSERT_TRUE(!root || setresuid(65534, -1, -1) == 0);
    const Status r = SendProgram(o, Story());
    ASSERT_TRUE(!root || setresuid(0, -1, -1) == 0);
    EXPECT_EQ(r.message, "You may not use the TI-84 Plus on the USB bus (" + node + "): add yourself to group " +
                             getgrgid(gid)->gr_name +
                             " and log in again, or install the udev rules of Debian's libticables package; then "
                             "unplug it and plug it in again.");
}

TEST(UsbLink, ACeTellingZeroBytesFreeIsSentToAnyway) {
    CalcStandIn calc(CalcStandIn::Usb::Ce);
    calc.SetFreeMemory(0);
    Send(Story(), Usb(CalcKind::Ti84PlusCe));
    calc.Set(CalcStandIn::Fault::Reject, 0x0C);  // really full
    EXPECT_EQ(Failure(Story(), Usb(CalcKind::Ti84PlusCe)),
              "The TI-84 Plus CE refused STORY: its memory is full (error code 0Ch).");
    EXPECT_EQ(calc.Stored().size(), 1u);
}

// Each refused before anything is sent.
TEST(UsbLink, WhatTheCalculatorCannotTakeIsRefused) {
    const ProgramVar asm83p = Var(test::AsmFileOf("PLUSASM", "\xBB\x6D\xC9", "", CalcKind::Ti83Plus));
    ProgramVar ce = Story(), big = Story();
    ce.calc = CalcKind::Ti84PlusCe;
    big.tokens.assign(65511, '\xDE');
    const LinkTarget ti84{CalcKind::Ti83Plus, true}, ceUsb{CalcKind::Ti84PlusCe, true};
    EXPECT_EQ(CheckTarget(asm83p, ceUsb).message,
              "PLUSASM is an assembly program for the TI-83 Plus and 84 Plus, and the TI-84 Plus CE connected cannot "
              "run it: send it to a TI-83 Plus / 84 Plus.");
    EXPECT_EQ(CheckTarget(ce, ti84).message, "STORY is a program for the TI-84 Plus CE, and a TI-84 Plus is "
                                             "connected: make it for the TI-84 Plus, or connect a TI-84 Plus CE.");
    EXPECT_EQ(CheckTarget(big, ceUsb).message, "STORY is 65,513 bytes, and the TI-84 Plus CE holds at most 65,512 "
                                               "bytes in one variable: make the text shorter, or split it.");
    EXPECT_TRUE(CheckTarget(big, ti84).ok());
    EXPECT_EQ(CheckTarget(Var(FileOf(CalcKind::Ti83, "STORY", Tokens(10), "")), LinkTarget{CalcKind::Ti83, false},
                          /*toArchive=*/true).message,
              "The TI-83 has no Archive: send STORY to its RAM.");
}
