// SPDX-License-Identifier: GPL-3.0-or-later
// The module behind tavrilo-convert send: program files over the link cable.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "send_module.h"
#include "tavrilo/link/link.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo::cli {
namespace {

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

LinkOptions Options(const SendRequest& r) {
    LinkOptions o;
    o.cable = r.cable == "usb"        ? CableKind::Usb
              : r.cable == "graylink" ? CableKind::GrayLink
              : r.cable == "virtual"  ? CableKind::Virtual
                                      : CableKind::Auto;
    o.device = r.device;
    o.timeoutSeconds = r.timeoutSeconds;
    o.cancel = r.interrupted;
    return o;
}

}  // namespace
}  // namespace tavrilo::cli

extern "C" __attribute__((visibility("default"))) int tavrilo_send_files(const tavrilo::cli::SendRequest& r) {
    using namespace tavrilo;
    if (r.layout != cli::kSendLayout) return cli::kOtherLayout;
    const LinkOptions options = cli::Options(r);
    for (const std::string& file : r.files) {
        std::string bytes;
        std::uint64_t size = 0;
        const Status read = ReadRegularFile(file, LargestProgramFile(), bytes, size);
        if (!read.ok()) {
            r.err("cannot read '" + file + "': " + read.message);
            return 1;
        }
        ProgramVar var;
        Status sent = DecodeProgramFile(bytes, var);
        if (sent.ok()) {
            cli::Bar bar(var.name, r.terminal);
            sent = SendProgram(options, var, {}, std::ref(bar));
        }
        if (!sent.ok()) {
            r.err("cannot send '" + file + "': " + sent.message);
            return 1;
        }
        std::printf("sent %s from '%s', %zu bytes\n", var.name.c_str(), file.c_str(), var.tokens.size());
        std::fflush(stdout);
    }
    return 0;
}
