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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavrilo {

// Which calculators a program file is for.
enum class LinkFamily {
    Ti83,      // .83p
    Ti83Plus,  // .8xp: TI-83 Plus and TI-84 Plus
};

// One program variable as a program file holds it.
struct ProgramVar {
    LinkFamily family = LinkFamily::Ti83;
    std::string name;                // 1 to 8 bytes, as the calculator spells it
    std::uint8_t type = 0x05;        // 05h program, 06h protected program
    std::uint8_t version = 0;        // TI-83 Plus files only
    std::vector<std::uint8_t> data;  // the variable's bytes, size word first
};

// Every failure, as one sentence a user can act on.
class LinkError : public std::runtime_error {
public:
    enum class Kind { BadFile, NoCable, Permission, NoAnswer, NoRoom, Refused, Broken, Cancelled, Other };
    LinkError(Kind kind, const std::string& sentence) : std::runtime_error(sentence), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// The variable of a well-formed .83p or .8xp file holding one program
// (this project's or any other). Throws LinkError(BadFile) saying what is wrong.
ProgramVar ParseProgramFile(std::string_view bytes);

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
    // a second while waiting for the calculator to answer the ready check; the
    // failure then reads "Cancel by user".
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

// Bytes a variable takes on the calculator: its data and its entry in the
// calculator's table of variables.
std::size_t BytesNeeded(const ProgramVar& var);

// Bytes sent so far of total; called on the sending thread, must not throw.
using LinkProgress = std::function<void(std::size_t sent, std::size_t total)>;

// An open link to one calculator. Not copyable; one per process at a time for
// the virtual link (libticables keeps its state in static storage).
class Link {
public:
    // Opens the cable and picks the calculator model for family: TI-83; TI-83
    // Plus over SilverLink, GrayLink or the virtual link; TI-84 Plus over DirectLink.
    Link(const LinkOptions& options, LinkFamily family);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // "TI-83", "TI-83 Plus", "TI-84 Plus"
    std::string CalculatorName() const;

    // Throws NoAnswer unless the calculator answers within the timeout.
    void CheckReady();

    // Free RAM, where the model tells it; read once per Link.
    std::optional<std::uint32_t> FreeMemory();

    // Whether a program of var's name is on the calculator (either type).
    bool Exists(const ProgramVar& var);

    // Throws NoRoom when the calculator's free memory is known and too small.
    void CheckRoom(const ProgramVar& var);

    // Sends var silently; progress reports the data bytes sent.
    void Send(const ProgramVar& var, const LinkProgress& progress = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The whole send on one link: the calculator must answer, the program must fit;
// when replace is given and a program of that name is there, replace(name) is
// asked first, and false leaves the calculator as it was. True when sent.
bool SendProgram(const LinkOptions& options, const ProgramVar& var,
                 const std::function<bool(const std::string& name)>& replace = {},
                 const LinkProgress& progress = {});

}  // namespace tavrilo
