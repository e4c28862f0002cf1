// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert send: program files over the link cable to the calculator.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <string>

#include "commands.h"
#include "modules.h"
#include "send_module.h"

namespace tavrilo::cli {
namespace {

std::atomic<bool> interrupted{false};
volatile std::sig_atomic_t signalled = 0;

void OnSignal(int sig) {
    signalled = sig;
    interrupted = true;
}

// Ctrl+C, SIGTERM and SIGHUP stop the transfer within about a second and close
// the link, so the calculator is ready for the next send; a second one ends
// the program at once.
void CatchSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

struct SendArgs {
    SendRequest request;
    std::string timeoutText;
    CLI::Option* timeoutOption = nullptr;
    CLI::Option* deviceOption = nullptr;
};

int RunSend(SendArgs& a) {
    SendRequest& r = a.request;
    if (const int bad = OneOf("--cable", r.cable, {"auto", "usb", "graylink", "virtual"})) return bad;
    if (!r.calc.empty())
        if (const int bad = OneOf("--calc", r.calc, {"ti83", "ti83p", "ti84p", "ce"})) return bad;
    if (a.timeoutOption->count() > 0) {
        if (const int bad = WholeNumber("--timeout", a.timeoutText, 1, 600, r.timeoutSeconds)) return bad;
    }
    if (a.deviceOption->count() > 0 && r.device.empty())
        return UsageError("--device needs a serial port's path, such as /dev/ttyS0");
    if (r.cable == "graylink" && r.device.empty()) return UsageError("--cable graylink needs --device PATH");
    if (!r.device.empty() && r.cable != "graylink" && r.cable != "auto")
        return UsageError("--device is for --cable graylink");
    if (!r.device.empty()) r.cable = "graylink";
    std::string why;
    void* module = LoadModule(TAVRILO_SEND_MODULE, why);
    const auto send = module ? reinterpret_cast<SendFiles>(dlsym(module, kSendFilesSymbol)) : nullptr;
    if (send == nullptr) {
        Err("cannot send: the link code cannot be loaded: " + (module ? std::string(dlerror()) : why));
        return 1;
    }
    CatchSignals();
    r.interrupted = &interrupted;
    r.terminal = isatty(STDERR_FILENO) == 1;
    r.err = Err;
    const int status = send(r);
    if (signalled) return 128 + signalled;
    if (status != kOtherLayout) return status;
    Err("cannot send: " TAVRILO_SEND_MODULE " is of another version of this program");
    return 1;
}

}  // namespace

void AddSendCommand(CommandLine& line) {
    auto a = std::make_shared<SendArgs>();
    CLI::App* send = line.Declare("send", "each program file (.83p, .8xp) to the calculator over its link cable, in "
                                          "order, once every file is checked; the first failure ends it");
    send->add_option("--cable", a->request.cable,
                     "auto (the USB cable plugged in, the default), usb, graylink (a serial GrayLink on "
                     "--device) or virtual (an emulator's virtual link)")
        ->type_name("KIND");
    a->deviceOption = send->add_option("--device", a->request.device, "the GrayLink's serial port, such as /dev/ttyS0")
                          ->type_name("PATH");
    send->add_option("--calc", a->request.calc,
                     "the calculator connected: ti83, ti83p, ti84p (on its own USB port) or ce; by default the "
                     "one a USB probe finds, or on a link cable the program's own")
        ->type_name("CALC");
    send->add_flag("--archive", a->request.archive, "to Archive rather than RAM (not the TI-83)");
    a->timeoutOption = send->add_option("--timeout", a->timeoutText,
                                        "how long the calculator may take to answer, 1 to 600 (default 3)")
                           ->type_name("SECONDS");
    send->add_option("FILE", a->request.files)->required();
    line.OnRun(send, [a] { return RunSend(*a); });
}

}  // namespace tavrilo::cli
