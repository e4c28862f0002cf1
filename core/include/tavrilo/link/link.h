// SPDX-License-Identifier: GPL-3.0-or-later
// Sending a program variable to a calculator over its link cable, through
// Debian's libticables2 / libticalcs2. No GUI here: the window and the command
// line both drive this.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrilo/calc/program_file.h"
#include "tavrilo/system/status.h"

namespace tavrilo {

enum class CableKind {
    Auto,      // the USB cable that is plugged in: SilverLink or DirectLink
    Usb,       // same as Auto, but never anything else
    GrayLink,  // serial GrayLink on LinkOptions::device
    Virtual,   // libticables' virtual link for emulators (the linking program's end)
};

struct LinkOptions {
    CableKind cable = CableKind::Auto;
    std::string device;       // serial port for a GrayLink, e.g. /dev/ttyS0
    int timeoutSeconds = 3;   // how long the calculator may take to answer
    // Set from any thread: the link stops at the next block of data, or within
    // a second while waiting for the calculator to answer the ready check, and
    // fails with Status::Cancelled().
    const std::atomic<bool>* cancel = nullptr;
};

struct FoundCable {
    CableKind kind;
    bool directLink;    // TI-84 Plus own USB port, else a SilverLink
    std::string label;  // "SilverLink (USB)", "TI-84 Plus DirectLink (USB)"
};

// The USB link cables plugged in now. Serial GrayLinks cannot be detected.
std::vector<FoundCable> FindCables();

// The serial ports that exist (/dev/ttyS*, /dev/ttyUSB*), for a GrayLink.
std::vector<std::string> SerialPorts();

// Bytes sent so far of total; called on the sending thread, must not throw.
using LinkProgress = std::function<void(std::size_t sent, std::size_t total)>;

// An open link to one calculator. One per process at a time for the virtual
// link (libticables keeps its state in static storage). Every failure is one
// sentence a user can act on.
class Link {
public:
    // Opens the cable and picks the calculator's model from calc's row: the
    // link cable's model, or over the calculator's own USB port its USB model.
    [[nodiscard]] static Status Open(const LinkOptions& options, CalcKind calc, std::unique_ptr<Link>& link);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // "TI-83", "TI-83 Plus", "TI-84 Plus"
    std::string CalculatorName() const;

    // Fails unless the calculator answers within the timeout.
    [[nodiscard]] Status CheckReady();

    // Free RAM, where the model tells it; read once per Link.
    [[nodiscard]] Status FreeMemory(std::optional<std::uint32_t>& free);

    // Whether a program of var's name is on the calculator (either type).
    [[nodiscard]] Status Exists(const ProgramVar& var, bool& there);

    // Fails when the calculator's free memory is known and too small.
    [[nodiscard]] Status CheckRoom(const ProgramVar& var);

    // Sends var silently; progress reports the data bytes sent.
    [[nodiscard]] Status Send(const ProgramVar& var, const LinkProgress& progress = {});

private:
    Link();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The whole send on one link: the calculator must answer, the program must fit;
// when replace is given and a program of that name is there, replace(name) is
// asked first, and false leaves the calculator as it was: Status::Cancelled().
[[nodiscard]] Status SendProgram(const LinkOptions& options, const ProgramVar& var,
                                 const std::function<bool(const std::string& name)>& replace = {},
                                 const LinkProgress& progress = {});

}  // namespace tavrilo
