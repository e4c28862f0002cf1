#include "send_command.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "args.h"
#include "tavrilo/link/link.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

int Usage(std::string_view problem) {
    Err(problem);
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return 2;
}

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

}  // namespace

void AddSendOptions(CLI::App* sub, SendArgs& a) {
    sub->add_option("--cable", a.cable, "auto, usb, graylink or virtual (default auto)")
        ->type_name("KIND")
        ->check(CLI::IsMember({"auto", "usb", "graylink", "virtual"}));
    sub->add_option("--device", a.device, "the GrayLink's serial port, such as /dev/ttyS0")->type_name("PATH");
    sub->add_option("--timeout", a.timeoutSeconds, "how long the calculator may take to answer (default 3)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 600));
    sub->add_option("FILE", a.files, "the .83p and .8xp program files, sent in order")->required();
}

int RunSend(const SendArgs& a) {
    if (a.cable == "graylink" && a.device.empty()) return Usage("--cable graylink needs --device PATH");
    if (!a.device.empty() && a.cable != "graylink" && a.cable != "auto")
        return Usage("--device is for --cable graylink");
    SendArgs chosen = a;
    if (!a.device.empty()) chosen.cable = "graylink";
    const LinkOptions options = Options(chosen);
    // Ctrl+C stops the transfer at its next block, so the calculator is left waiting for nothing.
    std::signal(SIGINT, OnInterrupt);
    const bool terminal = isatty(STDERR_FILENO) == 1;
    for (const std::string& file : a.files) {
        std::string bytes;
        const Status read = ReadWholeFile(file, bytes);
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

int RunSendCommand(int argc, char** argv) {
    CLI::App app("tavrilo-convert send", "send");
    app.set_help_flag();
    bool help = false;
    app.add_flag("-h,--help", help);
    SendArgs a;
    AddSendOptions(&app, a);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (!help) return Usage(e.what());
    }
    if (help) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        std::fwrite("\n", 1, 1, stdout);
        std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
        return 0;
    }
    return RunSend(a);
}

}  // namespace tavrilo::cli
