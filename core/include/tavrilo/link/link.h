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

// The calculator at the other end: a row of the table, on a link cable (the
// serial protocol) or on its own USB port (the USB protocol).
struct LinkTarget {
    CalcKind calc = CalcKind::Ti83;
    bool ownUsb = false;
};

struct LinkOptions {
    CableKind cable = CableKind::Auto;
    std::string device;       // serial port for a GrayLink, e.g. /dev/ttyS0
    int timeoutSeconds = 3;   // how long the calculator may take to answer, by the wall clock
    // Set from any thread: the link stops within about a second, and fails
    // with Status::Cancelled().
    const std::atomic<bool>* cancel = nullptr;
    // The calculator plugged in, where it is known (the virtual link, --calc);
    // else a USB probe finds it, and on a link cable it is the program's own.
    std::optional<LinkTarget> target;
    bool archive = false;  // to Archive rather than RAM
    std::string usbDevices = "/sys/bus/usb/devices";  // where the kernel lists the USB devices
    std::string usbNodes = "/dev/bus/usb";            // and where their device nodes are
};

// A TI device on the USB bus.
struct FoundCable {
    bool directLink = false;  // a calculator on its own USB port, else a SilverLink
    std::string label;        // "SilverLink", "TI-84 Plus", "TI-84 Plus CE", "TI device 0451:e010"
    const Calculator* calc = nullptr;  // the calculator on its own port, as the table has it
    bool known = true;  // false: a product the link library cannot open
    std::string device;  // its device node
};

// The TI link cables and calculators on the USB bus now, from the kernel's
// device list. Serial GrayLinks cannot be detected.
std::vector<FoundCable> FindCables(const std::string& usbDevices = "/sys/bus/usb/devices",
                                   const std::string& usbNodes = "/dev/bus/usb");

// The port (from 1) libticables opens target's USB cable or own USB port on:
// it numbers the TI products it knows in libusb's order, and opens the first
// three. 0 when target is not among them; 1 when libticables lists none.
int UsbPort(LinkTarget target);

// The calculator a program of calc's goes to with options: options.target, or
// what a USB probe finds. Fails with the sentence that names the way out.
[[nodiscard]] Status FindTarget(const LinkOptions& options, CalcKind calc, LinkTarget& target);

// Fails, before anything is sent, when target cannot take var: a name with
// control bytes, a program made for another calculator, one too large for
// it, or toArchive for a calculator without an Archive.
[[nodiscard]] Status CheckTarget(const ProgramVar& var, LinkTarget target, bool toArchive = false);

// "TI-83", "TI-83 Plus", "TI-84 Plus" (the TI-83 Plus's row on its own USB port), "TI-84 Plus CE"
std::string TargetName(LinkTarget target);

// name with every non-printing byte as \xNN, for messages and terminals.
std::string Printable(std::string_view name);

// The serial ports that exist (/dev/ttyS*, /dev/ttyUSB*), for a GrayLink.
std::vector<std::string> SerialPorts();

// Bytes sent so far of total; called on the sending thread, must not throw.
using LinkProgress = std::function<void(std::size_t sent, std::size_t total)>;

// An open link to one calculator. One per process at a time for the virtual
// link (libticables keeps its state in static storage). Every failure is one
// sentence a user can act on.
class Link {
public:
    // Opens the cable to the calculator FindTarget gives for a program of calc's.
    [[nodiscard]] static Status Open(const LinkOptions& options, CalcKind calc, std::unique_ptr<Link>& link);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // "TI-83", "TI-83 Plus", "TI-84 Plus", "TI-84 Plus CE"
    std::string CalculatorName() const;
    LinkTarget Target() const;

    // Fails unless the calculator answers within the timeout.
    [[nodiscard]] Status CheckReady();

    // Free RAM (or Archive with LinkOptions::archive), where the calculator
    // tells it believably; read once per Link.
    [[nodiscard]] Status FreeMemory(std::optional<std::uint32_t>& free);

    // Whether a program of var's name is on the calculator (either type).
    [[nodiscard]] Status Exists(const ProgramVar& var, bool& there);

    // Fails when the calculator's free memory is known and too small.
    [[nodiscard]] Status CheckRoom(const ProgramVar& var);

    // Sends var silently, to RAM or Archive; progress reports the data bytes sent.
    [[nodiscard]] Status Send(const ProgramVar& var, const LinkProgress& progress = {});

private:
    Link();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The whole send on one link: the calculator must take the program (CheckTarget)
// and answer, the program must fit;
// when replace is given and a program of that name is there, replace(name) is
// asked first, and false leaves the calculator as it was: Status::Cancelled().
[[nodiscard]] Status SendProgram(const LinkOptions& options, const ProgramVar& var,
                                 const std::function<bool(const std::string& name)>& replace = {},
                                 const LinkProgress& progress = {});

}  // namespace tavrilo
