// SPDX-License-Identifier: GPL-3.0-or-later
// The module behind tavrilo-convert send: program files over the link cable.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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
    o.archive = r.archive;
    return o;
}

// --calc: ti83, ti83p and ce are rows of the table; ti84p is the TI-83 Plus's row on its own USB port.
Status CalcOption(const std::string& name, LinkOptions& o) {
    if (name.empty()) return {};
    const std::string option = name == "ce" ? "ce" : name == "ti83" ? "83p" : "8xp";
    for (const Calculator& c : kCalculators)
        if (c.option == option) o.target = LinkTarget{c.kind, name == "ti84p" || c.linkModel.empty()};
    if (o.target) return {};
    return Status::Failed("this build does not send to the " + name);
}

struct Checked {
    std::string file;
    ProgramVar var;
    LinkTarget target;
};

}  // namespace
}  // namespace tavrilo::cli

extern "C" __attribute__((visibility("default"))) int tavrilo_send_files(const tavrilo::cli::SendRequest& r) {
    using namespace tavrilo;
    if (r.layout != cli::kSendLayout) return cli::kOtherLayout;
    LinkOptions options = cli::Options(r);
    if (const Status s = cli::CalcOption(r.calc, options); !s.ok()) {
        r.err("cannot send: " + s.message);
        return 1;
    }
    // Every file is read, then checked against the calculator, before the first is sent.
    std::vector<cli::Checked> files;
    for (const std::string& file : r.files) {
        std::string bytes;
        std::uint64_t size = 0;
        const Status read = ReadRegularFile(file, LargestProgramFile(), bytes, size);
        cli::Checked c{file, {}, {}};
        if (!read.ok()) {
            r.err("cannot read '" + file + "': " + read.message);
            return 1;
        }
        if (const Status decoded = DecodeProgramFile(bytes, c.var); !decoded.ok()) {
            r.err("cannot send '" + file + "': " + decoded.message);
            return 1;
        }
        files.push_back(std::move(c));
    }
    for (cli::Checked& c : files) {
        Status checked = FindTarget(options, c.var.calc, c.target);
        if (checked.ok()) checked = CheckTarget(c.var, c.target, options.archive);
        if (!checked.ok()) {
            r.err("cannot send '" + c.file + "': " + checked.message);
            return 1;
        }
    }
    for (const cli::Checked& c : files) {
        LinkOptions o = options;
        o.target = c.target;
        const std::string name = Printable(c.var.name);
        Status sent;
        {
            cli::Bar bar(name, r.terminal);
            sent = SendProgram(o, c.var, {}, std::ref(bar));
        }
        if (!sent.ok()) {
            r.err("cannot send '" + c.file + "': " + (sent.cancelled() ? "interrupted" : sent.message));
            return 1;
        }
        // Where it went, and for Archive whether the calculator runs it from there.
        const char* where = !o.archive                             ? "RAM"
                            : Calc(c.target.calc).runsFromArchive ? "Archive (it runs from there)"
                                                                   : "Archive (unarchive it to run it)";
        std::printf("sent %s from '%s', %zu bytes, to %s\n", name.c_str(), c.file.c_str(), c.var.tokens.size(), where);
        std::fflush(stdout);
    }
    return 0;
}
