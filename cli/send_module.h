// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert send runs in a module of its own, loaded only for send, so
// that the other commands start without the link libraries (see modules.h).
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace tavrilo::cli {

// The layout of SendRequest; a module built for another answers kOtherLayout.
inline constexpr int kSendLayout = 2;
inline constexpr int kOtherLayout = -1;

struct SendRequest {
    int layout = kSendLayout;  // first, where every layout has it
    std::string cable = "auto";  // auto, usb, graylink or virtual
    std::string device;  // the GrayLink's serial port
    int timeoutSeconds = 3;
    std::string calc;  // ti83, ti83p, ti84p or ce; empty: the program's own, or what a USB probe finds
    bool archive = false;
    std::vector<std::string> files;
    const std::atomic<bool>* interrupted = nullptr;  // stops the transfer at its next block
    bool terminal = false;                           // a bar on standard error
    void (*err)(std::string_view) = nullptr;         // prints one error line
};

// The module's one entry: checks every file, then sends each in order, one
// line each; the first failure ends it. Returns the exit status.
using SendFiles = int (*)(const SendRequest&);
inline constexpr char kSendFilesSymbol[] = "tavrilo_send_files";

}  // namespace tavrilo::cli
