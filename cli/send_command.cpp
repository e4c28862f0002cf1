// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert send: program files over the link cable to the calculator.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "tavrilo/link/link.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo::cli {
namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

struct SendArgs {
    std::string cable = "auto";  // auto, usb, graylink or virtual
    std::string device;          // the GrayLink's serial port
    int timeoutSeconds = 3;
    std::vector<std::string> files;
};

// "STORY [##########          ]  50%" on one line of a terminal, redrawn as
// the percentage moves.
class Bar {
public:
    Bar(const std::string& name, bool shown) : name_(name), shown_(shown) {}
    ~Bar() {
        if (drawn_) std::fputs("\r\033[K", stderr);
    }
    void operator()(std::size_t sent, std::size_t total) {
        const int percent = total == 0 ? 100 : static_cast<int>(sent * 100 / total);
        if (!shown_ || percent == percent_) return;
        percent_ = percent;
        drawn_ = true;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", name_.c_str(), std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, ' ').c_str(), percent);
        std::fflush(stderr);
    }

private:
    static constexpr int kWidth = 30;
    std::string name_;
    bool shown_;
    bool drawn_ = false;
    int percent_ = -1;
};

LinkOptions Options(const SendArgs& a) {
    LinkOptions o;
    o.cable = a.cable == "usb"        ? CableKind::Usb
              : a.cable == "graylink" ? CableKind::GrayLink
              : a.cable == "virtual"  ? CableKind::Virtual
                                      : CableKind::Auto;
    o.device = a.device;
    o.timeoutSeconds = a.timeoutSeconds;
    o.cancel = &interrupted;
    return o;
}

// One line for each file sent; the first failure ends the command.
int RunSend(const SendArgs& a) {
    if (a.cable == "graylink" && a.device.empty()) return UsageError("--cable graylink needs --device PATH");
    if (!a.device.empty() && a.cable != "graylink" && a.cable != "auto")
        return UsageError("--device is for --cable graylink");
    SendArgs chosen = a;
    if (!a.device.empty()) chosen.cable = "graylink";
    const LinkOptions options = Options(chosen);
    // Ctrl+C stops the transfer at its next block, so the calculator is left waiting for nothing.
    std::signal(SIGINT, OnInterrupt);
    const bool terminal = isatty(STDERR_FILENO) == 1;
    for (const std::string& file : a.files) {
        // No program file is larger than its header, the format's 65,535
        // bytes of data and its checksum.
        constexpr std::uint64_t kLargestFile = 55 + 65535 + 2;
        std::string bytes;
        std::uint64_t size = 0;
        const Status read = ReadRegularFile(file, kLargestFile, bytes, size);
        if (!read.ok()) {
            Err("cannot read '" + file + "': " + read.message);
            return 1;
        }
        try {
            const ProgramVar var = ParseProgramFile(bytes);
            {
                Bar bar(var.name, terminal);
                SendProgram(options, var, {}, std::ref(bar));
            }
            std::printf("sent %s from '%s', %zu bytes\n", var.name.c_str(), file.c_str(), var.data.size() - 2);
            std::fflush(stdout);
        } catch (const LinkError& e) {
            Err("cannot send '" + file + "': " + e.what());
            return 1;
        }
    }
    return 0;
}

}  // namespace

void AddSendCommand(CommandLine& line) {
    auto a = std::make_shared<SendArgs>();
    CLI::App* send = line.Declare("send", "each program file (.83p, .8xp) to the calculator over its link cable, in "
                                          "order; the first failure ends it");
    send->add_option("--cable", a->cable,
                     "auto (the USB cable plugged in, the default), usb, graylink (a serial GrayLink on "
                     "--device) or virtual (an emulator's virtual link)")
        ->type_name("KIND")
        ->check(CLI::IsMember({"auto", "usb", "graylink", "virtual"}).description(""));
    send->add_option("--device", a->device, "the GrayLink's serial port, such as /dev/ttyS0")->type_name("PATH");
    send->add_option("--timeout", a->timeoutSeconds,
                     "how long the calculator may take to answer, 1 to 600 (default 3)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 600).description(""));
    send->add_option("FILE", a->files)->required();
    line.OnRun(send, [a] { return RunSend(*a); });
}

}  // namespace tavrilo::cli
