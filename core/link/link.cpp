// SPDX-License-Identifier: GPL-3.0-or-later
// The link through libticables2 / libticalcs2: cable choice, model choice,
// ready check, memory and listing, silent send, and every failure as a sentence.
#include "tavrilo/link/link.h"

#include <glib.h>
#include <glob.h>
#include <ticables.h>
#include <ticalcs.h>
#include <tifiles.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <mutex>
#include <new>
#include <thread>

#include "tavrilo/calc/calculators.h"
#include "usb_transfers.h"

namespace tavrilo {
namespace {

// Error numbers of libticables2 and libticalcs2 (their error.h is not installed).
enum : int {
    kReadTimeout = 4,
    kWriteTimeout = 6,
    kLibusbOpen = 37,
    kLibusbClaim = 38,
    kSerialOpen = 35,
    kSerialIoctl = 36,
    kNoRoot = 42,
    kSerialDevice = 43,
    kUsbfs = 45,
    kTtyOpen = 46,
    kTtyIoctl = 47,
    kNoCable = 50,
    kAbort = 256,
    kNotReady = 257,
    kChecksum = 258,
    kInvalidPacket = 266,
    kVarRejected = 263,
    kOutOfMemory = 273,
    kVarVersion = 285,
    kCalcSaidNo = 300,  // 300-399: the calculator's own error codes (300-349 over USB)
    kUsbNotNamed = 300,  // a USB error code the library does not know
    kUsbOutOfMemory = 305,
    kShortAnswer = 1000,  // ours: an answer shorter than its format
};
constexpr std::uint8_t kCmdData = 0x15;  // DBUS data packet
// USB protocol virtual packets: free memory, contents, error; the error code of a variable too large.
constexpr std::uint16_t kParmData = 0x0008, kVarContents = 0x000D, kUsbError = 0xEE00;
constexpr std::uint16_t kUsbTooLarge = 0x001B;

constexpr char kCablesLookedFor[] =
    "No link cable found: looked for a SilverLink USB cable, and a TI-84 Plus or TI-84 Plus CE connected by "
    "its own USB cable; a serial GrayLink cannot be found this way, name its serial port.";

using WallClock = std::chrono::steady_clock;

constexpr int kUsbPorts = 3;  // libticables opens the first three TI devices on the bus only

void QuietLog(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    if (std::getenv("TAVRILO_LINK_LOG")) g_printerr("%s\n", message);
}

void InitLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const char* domain : {"ticables", "tifiles", "ticalcs", "ticonv"})
            g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL |
                                                                  G_LOG_FLAG_RECURSION),
                              QuietLog, nullptr);
        ticables_library_init();
        tifiles_library_init();
        ticalcs_library_init();
    });
}

std::string Seconds(int n) { return n == 1 ? "1 second" : std::to_string(n) + " seconds"; }

void NoOp() {}

// An emulator on the virtual link has both of its segments attached, as the link has.
bool EmulatorAttached() {
    for (int i = 0; i < 2; ++i) {
        shmid_ds st{};
        const int id = shmget(ftok("/tmp", i), 0, 0);
        if (id < 0 || shmctl(id, IPC_STAT, &st) != 0 || st.shm_nattch < 2) return false;
    }
    return true;
}

}  // namespace

std::string Printable(std::string_view name) {
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F && b != '\\') {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

namespace {

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The row of the calculator libticalcs calls model on its own USB port.
const Calculator* RowOfUsbModel(std::string_view model) {
    for (const Calculator& c : kCalculators)
        if (!c.usbLinkModel.empty() && c.usbLinkModel == model) return &c;
    return nullptr;
}

}  // namespace

// The TI-83 Plus's row on its own USB port is the TI-84 Plus.
std::string TargetName(LinkTarget t) {
    const Calculator& row = Calc(t.calc);
    return t.ownUsb && !row.linkModel.empty() ? "TI-84 Plus" : std::string(row.name);
}

namespace {

// A calculator without a link port takes programs by its own USB cable only.
Status NoLinkPort(LinkTarget t) {
    return Status::Failed("The " + TargetName(t) + " has no link port: connect it by its own USB cable.");
}

}  // namespace

// The calculators on their own USB port, by product and version (bcdDevice),
// first match first; those without a model are not sent to.
struct OwnUsb {
    const char* product;
    long from, to;
    const char* name;
    std::string_view model;
};
constexpr OwnUsb kOwnUsb[] = {
    {"e003", 0x0190, 0x0190, "TI-82 Advanced", ""},
    {"e003", 0x0000, 0xFFFF, "TI-84 Plus", "TI84+ USB"},
    {"e008", 0x0000, 0x0110, "TI-84 Plus Silver Edition", "TI84+ USB"},
    {"e008", 0x0120, 0x0120, "TI-84 Plus C Silver Edition", ""},
    {"e008", 0x0220, 0x0220, "TI-84 Plus CE", "TI84+CE USB"},
    {"e008", 0x0260, 0x0260, "TI-83 Premium CE", "TI84+CE USB"},
    {"e008", 0x0660, 0x0660, "TI-82 Advanced Edition Python", ""},
};

// Vendor 0451 (Texas Instruments), products E0xx: E001 SilverLink, E003 and
// E008 calculators (kOwnUsb); libticables knows also E004 and E012 (not ours).
std::vector<FoundCable> FindCables(const std::string& usbDevices, const std::string& usbNodes) {
    std::vector<FoundCable> found;
    glob_t g{};
    if (glob((usbDevices + "/*/idVendor").c_str(), 0, nullptr, &g) == 0) {
        for (std::size_t i = 0; i < g.gl_pathc; ++i) {
            std::string dir = g.gl_pathv[i];
            dir.erase(dir.rfind('/'));
            if (ReadLine(dir + "/idVendor") != "0451") continue;
            const std::string product = ReadLine(dir + "/idProduct");
            if (product.size() != 4 || product.compare(0, 2, "e0") != 0) continue;
            FoundCable c;
            char node[32];
            std::snprintf(node, sizeof node, "/%03d/%03d", std::atoi(ReadLine(dir + "/busnum").c_str()),
                          std::atoi(ReadLine(dir + "/devnum").c_str()));
            c.device = usbNodes + node;
            if (product == "e001") {
                c.label = "SilverLink";
            } else if (product == "e003" || product == "e008") {
                c.directLink = true;
                const std::string version = ReadLine(dir + "/bcdDevice");
                char* end = nullptr;
                const long v = std::strtol(version.c_str(), &end, 16);
                const bool read = version.size() == 4 && end == version.c_str() + 4;
                c.label = "TI device 0451:" + product + (read ? " version " + version : "");
                for (const OwnUsb& u : kOwnUsb)
                    if (read && product == u.product && v >= u.from && v <= u.to) {
                        c.label = u.name;
                        c.calc = RowOfUsbModel(u.model);
                        break;
                    }
            } else {
                c.known = product == "e004" || product == "e012";
                c.label = "TI device 0451:" + product;
            }
            found.push_back(c);
        }
    }
    globfree(&g);
    return found;
}

int UsbPort(LinkTarget target) {
    InitLibraries();
    // The TI-83 Premium CE is the CE under another name.
    const auto same = [](CalcModel m) { return m == CALC_TI83PCE_USB ? CALC_TI84PCE_USB : m; };
    const CalcModel wanted = ticalcs_string_to_model(std::string(Calc(target.calc).usbLinkModel).c_str());
    CableDeviceInfo* list = nullptr;
    int n = 0, port = 0;
    ticables_get_usb_device_info(&list, &n);
    for (int i = 0; i < n && port == 0; ++i)
        if (target.ownUsb ? list[i].variant != CABLE_VARIANT_UNKNOWN &&
                                same(ticalcs_device_info_to_model(&list[i])) == same(wanted)
                          : list[i].family == CABLE_FAMILY_DBUS)
            port = i + 1;
    ticables_free_usb_device_info(list);
    if (n == 0) return 1;  // none listed: the cable's own open says why
    return port <= kUsbPorts ? port : 0;
}

std::vector<std::string> SerialPorts() {
    std::vector<std::string> ports;
    for (const char* pattern : {"/dev/ttyS*", "/dev/ttyUSB*"}) {
        glob_t g{};
        if (glob(pattern, 0, nullptr, &g) == 0)
            for (std::size_t i = 0; i < g.gl_pathc; ++i) ports.emplace_back(g.gl_pathv[i]);
        globfree(&g);
    }
    return ports;
}

Status FindTarget(const LinkOptions& options, CalcKind calc, LinkTarget& target) {
    const Calculator& row = Calc(calc);
    if (options.target) {
        target = *options.target;
        return {};
    }
    switch (options.cable) {
    case CableKind::Virtual:
        target = {calc, row.linkModel.empty()};
        return {};
    case CableKind::GrayLink:
        target = {calc, false};
        return {};
    case CableKind::Auto:
    case CableKind::Usb:
        break;
    }
    const auto cables = FindCables(options.usbDevices, options.usbNodes);
    for (const FoundCable& c : cables) {
        if (!c.known) continue;
        if (!c.directLink) {
            target = {calc, false};
            return {};
        }
        if (c.calc) {
            target = {c.calc->kind, true};
            return {};
        }
    }
    for (const FoundCable& c : cables)
        if (!c.known)
            return Status::Failed("A TI device is on the USB bus (" + c.label +
                                  ") that the link cannot open: unplug it, quit any app on the calculator, then "
                                  "plug it in again.");
    for (const FoundCable& c : cables)
        if (c.directLink)
            return Status::Failed("The calculator on the USB bus (" + c.label +
                                  ") is not one Tavrilo sends to: connect a TI-83, TI-83 Plus, TI-84 Plus or "
                                  "TI-84 Plus CE (TI-83 Premium CE).");
    return Status::Failed(kCablesLookedFor);
}

Status CheckTarget(const ProgramVar& var, LinkTarget target, bool toArchive) {
    for (const char c : var.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Status::Failed("The program name " + Printable(var.name) +
                                  " has control characters in it, which a calculator cannot list: make the file "
                                  "again with a name of capital letters and digits.");
    const Calculator& made = Calc(var.calc);
    const Calculator& there = Calc(target.calc);
    const std::string name = Printable(var.name), plugged = TargetName(target);
    if (there.linkModel.empty() && !target.ownUsb) return NoLinkPort(target);
    const AsmTarget* asmOf = made.asmTarget;
    const bool assembly = var.type == kProtectedProgramType && asmOf &&
                          var.tokens.compare(0, asmOf->mark.size(), asmOf->mark) == 0;
    // The same file format holds the same tokens: BASIC goes across, machine code does not.
    const bool sameTokens = made.file.signature == there.file.signature;
    if (var.calc != target.calc && assembly && sameTokens)
        return Status::Failed(name + " is an assembly program for the " + std::string(asmOf->runsOn) + ", and the " +
                              plugged + " connected cannot run it: send it to a " + std::string(made.models) + ".");
    // Text by the TI-83's rules shows alike on each of them; a calculator's own characters only on it.
    const bool textGoes = made.basicText == there.basicText || made.basicText == BasicText::Ti83Rules;
    if (var.calc != target.calc && (!sameTokens || !textGoes))
        return Status::Failed(name + " is a program for the " + std::string(made.name) + ", and a " + plugged +
                              " is connected: make it for the " + plugged + ", or connect a " +
                              std::string(made.name) + ".");
    if (toArchive && !HasArchive(there))
        return Status::Failed("The " + plugged + " has no Archive: send " + name + " to its RAM.");
    if (there.maxVariable && 2 + var.tokens.size() > there.maxVariable)
        return Status::Failed(name + " is " + Grouped(2 + var.tokens.size()) + " bytes, and the " + plugged +
                              " holds at most " + Grouped(there.maxVariable) +
                              " bytes in one variable: make the text shorter, or split it.");
    return {};
}

struct Link::Impl {
    LinkOptions options;
    LinkTarget target;
    CableModel cableModel = CABLE_NUL;
    CalcModel model = CALC_NONE;
    CableHandle* cable = nullptr;
    CalcHandle* calc = nullptr;
    CalcUpdate update{};
    bool attached = false;
    std::string device;  // the USB device's node, where a probe found it

    // Free memory and program names, each read once.
    bool freeRead = false, namesRead = false;
    std::optional<std::uint32_t> freeMemory;
    std::vector<std::string> programs;
    bool shortAnswer = false;  // the free memory answer was shorter than its format
    int usbError = -1;         // the last error code a USB calculator answered with

    // Progress of the data packet being sent.
    const LinkProgress* progress = nullptr;
    std::size_t total = 0, sent = 0;
    bool inData = false, dataSent = false;

    // The watchdog: a read or write of the cable that outlasts its limit by
    // the wall clock, or one under way when Cancel comes, is cut short by a
    // cable timeout of 0, which libticables' loops see at once. A USB cable
    // times its transfers itself, by the wall clock, and takes 0 as no limit at
    // all: there Cancel alone cuts, cancelling the transfer under way and
    // giving those after it a tenth of a second.
    std::mutex mutex;
    std::condition_variable wake;
    std::thread watchdog;
    bool closing = false, busy = false, cut = false;
    WallClock::time_point busySince;
    int limitTenths = 0;  // the cable's own timeout, restored after a cut

    bool Cancelled() const { return options.cancel && options.cancel->load(); }
    bool Usb() const { return target.ownUsb; }

    void SetLimit(int tenths) {
        std::lock_guard<std::mutex> lock(mutex);
        limitTenths = tenths;
        ticables_options_set_timeout(cable, static_cast<unsigned>(tenths));
    }

    void Watch() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!closing) {
            wake.wait_for(lock, std::chrono::milliseconds(20));
            if (!busy || cut) continue;
            const bool usb = cableModel == CABLE_USB || cableModel == CABLE_SLV;
            if (Cancelled() ||
                (!usb && WallClock::now() - busySince > std::chrono::milliseconds(limitTenths * 100))) {
                cut = true;
                ticables_options_set_timeout(cable, usb ? 1 : 0);
                if (usb) CancelUsbTransfers();
            }
        }
    }

    void IoBegins() {
        std::lock_guard<std::mutex> lock(mutex);
        busy = true;
        busySince = WallClock::now();
        if (cut) ticables_options_set_timeout(cable, static_cast<unsigned>(limitTenths));
        cut = false;
    }

    void IoEnds() {
        std::lock_guard<std::mutex> lock(mutex);
        busy = false;
    }

    enum class Phase { Open, Ready, Listing, Sending };

    Status Fail(int code, Phase phase, const std::string& name = {}) const {
        if (Cancelled()) return Status::Cancelled();
        const std::string calcName = TargetName(target);
        switch (code) {
        case kLibusbOpen:
        case kLibusbClaim:
        case kUsbfs:
            return NoPermission();
        case kSerialOpen:
        case kSerialIoctl:
        case kNoRoot:
        case kSerialDevice:
        case kTtyOpen:
        case kTtyIoctl:
            return Status::Failed("The serial port " + options.device +
                                  " cannot be used: check that it is the GrayLink's port and "
                                  "that you may use it (group dialout).");
        case kNoCable:
            return Status::Failed(kCablesLookedFor);
        case kReadTimeout:
        case kWriteTimeout:
        case kNotReady:
            if (phase == Phase::Sending)
                return Status::Failed("The link broke while sending " + name + ": check the cable and send it again.");
            if (phase == Phase::Open) break;
            return Status::Failed("The " + calcName + " did not answer within " + Seconds(options.timeoutSeconds) +
                                  ": check that it is on and at its home screen.");
        case kOutOfMemory:
            return Status::Failed("The " + calcName + " refused " + name + ": its memory is full.");
        case kAbort:
        case kVarRejected:
        case kVarVersion:
            return Status::Failed("The " + calcName + " refused " + name + ": it will not take a program of that name.");
        default:
            if (Usb() && code >= kCalcSaidNo && code < kCalcSaidNo + 50 && usbError >= 0) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%02Xh", usbError);
                const std::string refused = phase == Phase::Sending ? "The " + calcName + " refused " + name + ": "
                                                                    : "The " + calcName + " answered ";
                if (usbError == kUsbTooLarge)
                    return Status::Failed(refused + "it is too large for one variable (error code " + hex + ").");
                if (code == kUsbOutOfMemory)
                    return Status::Failed(refused + "its memory is full (error code " + hex + ").");
                if (code == kUsbNotNamed || !Named(code))
                    return Status::Failed(refused + "error code " + hex + ", which the link library does not name.");
                return Status::Failed(refused + Detail(code));
            }
            if (code >= kCalcSaidNo && code < kCalcSaidNo + 100 && phase == Phase::Sending)
                return Status::Failed("The " + calcName + " refused " + name + ": " + Detail(code));
            if (code >= kChecksum && code <= kInvalidPacket && phase != Phase::Open)
                return Status::Failed("The link broke while talking to the " + calcName +
                                      ": check the cable and try again.");
        }
        return Status::Failed("The link to the calculator failed: " + Detail(code));
    }

    // Names the device node's group, where there is one to join.
    Status NoPermission() const {
        std::string group;
        struct stat st {};
        if (!device.empty() && stat(device.c_str(), &st) == 0)
            if (const struct group* g = getgrgid(st.st_gid); g && st.st_gid != 0) group = g->gr_name;
        return Status::Failed("You may not use the " + TargetName(target) + " on the USB bus" +
                              (device.empty() ? "" : " (" + device + ")") + ": " +
                              (group.empty() ? "" : "add yourself to group " + group + " and log in again, or ") +
                              "install the udev rules of Debian's libticables package; then unplug it and plug it "
                              "in again.");
    }

    static bool Named(int code) {
        char* text = nullptr;
        const bool named = ticalcs_error_get(code, &text) == 0 && text;
        g_free(text);
        return named;
    }

    // The first line of the libraries' own text for code, with a full stop.
    static std::string Detail(int code) {
        char* text = nullptr;
        if (code >= 256) ticalcs_error_get(code, &text); else ticables_error_get(code, &text);
        std::string detail = text && std::strcmp(text, "(null)") != 0 ? text : "";
        g_free(text);
        detail = detail.substr(0, detail.find('\n'));
        if (detail.rfind("Msg: ", 0) == 0) detail.erase(0, 5);
        if (detail.empty()) detail = "error code " + std::to_string(code) + ", which the link library does not name";
        if (detail.back() != '.') detail += '.';
        return detail;
    }

    // libticables: stops when cancelled; counts data bytes; the watchdog's view.
    static int CableEvent(CableHandle*, uint32_t, const CableEventData* e, void* user) {
        auto* self = static_cast<Impl*>(user);
        const bool before = e->type == CABLE_EVENT_TYPE_BEFORE_SEND || e->type == CABLE_EVENT_TYPE_BEFORE_RECV;
        const bool after = e->type == CABLE_EVENT_TYPE_AFTER_SEND || e->type == CABLE_EVENT_TYPE_AFTER_RECV;
        if (before && self->Cancelled()) return kAbort;
        if (before) self->IoBegins();
        if (after) self->IoEnds();
        if (after && e->retval && self->Cancelled()) return kAbort;
        if (e->type == CABLE_EVENT_TYPE_AFTER_SEND && e->retval == 0 && self->inData) {
            self->sent = std::min(self->total, self->sent + e->data.data.len);
            if (self->progress && *self->progress) (*self->progress)(self->sent, self->total);
        }
        return e->retval;
    }

    // libticalcs: marks where the data packet starts and ends; keeps the
    // calculator's error codes; refuses a free memory answer too short to read.
    static int CalcEvent(CalcHandle*, uint32_t, const CalcEventData* e, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->update.cancel = self->Cancelled();
        switch (e->type) {
        case CALC_EVENT_TYPE_BEFORE_SEND_DBUS_PKT:
            if (e->data.dbus_pkt.cmd == kCmdData) self->inData = true;
            break;
        case CALC_EVENT_TYPE_BEFORE_SEND_DUSB_VPKT:
            if (e->data.dusb_vpkt.type == kVarContents) self->inData = true;
            break;
        case CALC_EVENT_TYPE_AFTER_SEND_DBUS_PKT:
        case CALC_EVENT_TYPE_AFTER_SEND_DUSB_VPKT:
            if (self->inData) self->dataSent = e->retval == 0;
            self->inData = false;
            break;
        case CALC_EVENT_TYPE_AFTER_RECV_DBUS_PKT_DATA:
            // The free memory: the one data packet while it is read, two bytes (the event names no command).
            if (!self->freeRead && e->data.dbus_pkt.length < 2)
                self->shortAnswer = true;
            break;
        case CALC_EVENT_TYPE_AFTER_RECV_DUSB_VPKT: {
            const DUSBVirtualPacket& p = e->data.dusb_vpkt;
            if (e->retval == 0 && p.type == kUsbError && p.size >= 2 && p.data)
                self->usbError = p.data[0] << 8 | p.data[1];
            if (e->retval == 0 && p.type == kParmData && !self->freeRead && !WellFormedFree(p)) {
                self->shortAnswer = true;
                return kShortAnswer;  // before libticalcs reads past it
            }
            break;
        }
        default:
            break;
        }
        return e->retval;
    }

    // Two parameters, each present with 8 bytes: what libticalcs reads of them.
    static bool WellFormedFree(const DUSBVirtualPacket& p) {
        std::size_t j = 2;
        if (!p.data || p.size < 2 || (p.data[0] << 8 | p.data[1]) != 2) return false;
        for (int i = 0; i < 2; ++i) {
            if (j + 5 > p.size || p.data[j + 2] != 0) return false;
            const std::size_t size = p.data[j + 3] << 8 | p.data[j + 4];
            if (size < 8 || j + 5 + size > p.size) return false;
            j += 5 + size;
        }
        return true;
    }

    // libticables names a port it cannot use by a placeholder, so the port is looked at first.
    static Status CheckSerialPort(const std::string& device) {
        struct stat st {};
        int err = 0;
        if (stat(device.c_str(), &st) != 0 || (S_ISCHR(st.st_mode) && access(device.c_str(), R_OK | W_OK) != 0))
            err = errno;
        else if (!S_ISCHR(st.st_mode))
            err = ENOTTY;
        if (err == 0) return {};
        return Status::Failed("The serial port " + device + " cannot be used (" +
                              (err == ENOTTY ? std::string("it is not a serial port") : std::strerror(err)) +
                              "): check that it is the GrayLink's port and that you may use it (group dialout).");
    }

    Status ChooseCable(CalcKind kind) {
        if (Status r = FindTarget(options, kind, target); !r.ok()) return r;
        const Calculator& row = Calc(target.calc);
        model = ticalcs_string_to_model(std::string(target.ownUsb ? row.usbLinkModel : row.linkModel).c_str());
        if (model == CALC_NONE) return NoLinkPort(target);
        switch (options.cable) {
        case CableKind::Virtual:
            cableModel = CABLE_VTI;
            return {};
        case CableKind::GrayLink:
            if (options.device.empty())
                return Status::Failed("A serial GrayLink needs its port named, such as /dev/ttyS0 or /dev/ttyUSB0.");
            cableModel = CABLE_GRY;
            return CheckSerialPort(options.device);
        case CableKind::Auto:
        case CableKind::Usb:
            break;
        }
        cableModel = target.ownUsb ? CABLE_USB : CABLE_SLV;
        for (const FoundCable& c : FindCables(options.usbDevices, options.usbNodes))
            if (c.known && c.directLink == target.ownUsb && (!c.directLink || (c.calc && c.calc->kind == target.calc)))
                device = c.device;
        if (!device.empty() && access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) return NoPermission();
        return {};
    }

    Status Open(CalcKind kind) {
        InitLibraries();
        if (Status r = ChooseCable(kind); !r.ok()) return r;
        const int port = cableModel == CABLE_VTI ? 2 : cableModel == CABLE_GRY ? 1 : UsbPort(target);
        if (port == 0)
            return Status::Failed("The " + TargetName(target) +
                                  " cannot be told apart from the other TI devices on the USB bus: unplug the "
                                  "others, then send again.");
        cable = ticables_handle_new(cableModel, static_cast<CablePort>(port));
        calc = ticalcs_handle_new(model);
        if (!cable || !calc) return Fail(kNoCable, Phase::Open);
        SetLimit(options.timeoutSeconds * 10);
        if (cableModel == CABLE_GRY) ticables_cable_set_device(cable, options.device.c_str());
        ticables_cable_set_event_hook(cable, &CableEvent);
        ticables_cable_set_event_user_pointer(cable, this);
        ticalcs_calc_set_event_hook(calc, &CalcEvent);
        ticalcs_calc_set_event_user_pointer(calc, this);
        update.start = update.stop = update.refresh = update.pbar = update.label = &NoOp;
        ticalcs_update_set(calc, &update);
        watchdog = std::thread([this] { Watch(); });
        if (const int err = ticalcs_cable_attach(calc, cable)) return Fail(err, Phase::Open);
        attached = true;
        return {};
    }

    void Close() {
        if (watchdog.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                closing = true;
            }
            wake.notify_all();
            watchdog.join();
        }
        if (attached) ticalcs_cable_detach(calc);
        if (calc) ticalcs_handle_del(calc);
        if (cable) ticables_handle_del(cable);
        attached = false;
        calc = nullptr;
        cable = nullptr;
    }

    Status ReadFree() {
        if (freeRead) return {};
        if (Cancelled()) return Fail(kAbort, Phase::Listing);
        if (ticalcs_calc_features(calc) & FTS_MEMFREE) {
            uint32_t ram = UINT32_MAX, flash = UINT32_MAX;
            shortAnswer = false;
            const int err = ticalcs_calc_get_memfree(calc, &ram, &flash);
            if (err && !shortAnswer) return Fail(err, Phase::Listing);
            const uint32_t free = options.archive ? flash : ram;
            // A CE may tell 0 bytes of RAM free over USB, which proves nothing.
            const bool ce = model == CALC_TI84PCE_USB || model == CALC_TI83PCE_USB;
            if (!shortAnswer && free != UINT32_MAX && !(ce && free == 0)) freeMemory = free;
        }
        freeRead = true;
        return {};
    }

    Status ReadNames() {
        if (namesRead) return {};
        if (Cancelled()) return Fail(kAbort, Phase::Listing);
        if (!(ticalcs_calc_features(calc) & OPS_DIRLIST)) return {};
        GNode *vars = nullptr, *apps = nullptr;
        const int err = ticalcs_calc_get_dirlist(calc, &vars, &apps);
        if (!err) {
            for (GNode* folder = vars ? vars->children : nullptr; folder; folder = folder->next)
                for (GNode* node = folder->children; node; node = node->next) {
                    auto* ve = static_cast<VarEntry*>(node->data);
                    if (ve && (ve->type == 0x05 || ve->type == 0x06)) programs.emplace_back(ve->name);
                }
        }
        ticalcs_dirlist_destroy(&vars);
        ticalcs_dirlist_destroy(&apps);
        if (err) return Fail(err, Phase::Listing);
        namesRead = true;
        return {};
    }
};

Link::Link() : impl_(std::make_unique<Impl>()) {}

Status Link::Open(const LinkOptions& options, CalcKind calc, std::unique_ptr<Link>& link) {
    std::unique_ptr<Link> made(new Link);
    made->impl_->options = options;
    made->impl_->options.timeoutSeconds = std::max(1, options.timeoutSeconds);
    if (Status r = made->impl_->Open(calc); !r.ok()) return r;  // the destructor closes what was opened
    link = std::move(made);
    return {};
}

Link::~Link() { impl_->Close(); }

std::string Link::CalculatorName() const { return TargetName(impl_->target); }

LinkTarget Link::Target() const { return impl_->target; }

Status Link::CheckReady() {
    if (impl_->Cancelled()) return impl_->Fail(kAbort, Impl::Phase::Ready);
    Impl& m = *impl_;
    const auto end = WallClock::now() + std::chrono::seconds(m.options.timeoutSeconds);
    // libticables' virtual link waits by spinning: it is not asked before an emulator is there.
    while (m.cableModel == CABLE_VTI && !EmulatorAttached()) {
        if (m.Cancelled()) return m.Fail(kAbort, Impl::Phase::Ready);
        if (WallClock::now() >= end)
            return Status::Failed("No emulator is on the virtual link: start one with its link on, or turn its "
                                  "link off and on again; then send again.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!(ticalcs_calc_features(m.calc) & OPS_ISREADY)) return {};
    // Asked again every second, until the time given is up by the wall clock:
    // a USB cable's wait cannot be cut short, and Cancel is seen in between.
    int err = 0;
    for (bool first = true;; first = false) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - WallClock::now()).count();
        if (!first && (left <= 0 || m.Cancelled())) break;
        m.SetLimit(static_cast<int>(std::clamp<long long>((left + 99) / 100, 1, 10)));
        if (!first) ticables_cable_reset(m.cable);
        err = ticalcs_calc_isready(m.calc);
        if (err != kReadTimeout && err != kNotReady) break;
    }
    m.SetLimit(m.options.timeoutSeconds * 10);
    if (err) return m.Fail(err, Impl::Phase::Ready);
    return {};
}

Status Link::FreeMemory(std::optional<std::uint32_t>& free) {
    const Status r = impl_->ReadFree();
    free = impl_->freeMemory;
    return r;
}

Status Link::Exists(const ProgramVar& var, bool& there) {
    const Status r = impl_->ReadNames();
    const auto& p = impl_->programs;
    there = std::find(p.begin(), p.end(), var.name) != p.end();
    return r;
}

Status Link::CheckRoom(const ProgramVar& var) {
    std::optional<std::uint32_t> free;
    if (Status r = FreeMemory(free); !r.ok()) return r;
    const std::size_t needed = BytesNeeded(var);
    if (free && needed > *free)
        return Status::Failed(Printable(var.name) + " needs " + Grouped(needed) + " bytes; the calculator has " +
                              Grouped(*free) + " free" + (impl_->options.archive ? " in Archive" : ""));
    return {};
}

Status Link::Send(const ProgramVar& var, const LinkProgress& progress) {
    Impl& m = *impl_;
    const std::string name = Printable(var.name);
    if (m.Cancelled()) return m.Fail(kAbort, Impl::Phase::Sending, name);
    // On the calculator a program's data begins with the size of its tokens.
    const std::size_t size = 2 + var.tokens.size();
    FileContent* content = tifiles_content_create_regular(m.model);
    VarEntry* ve = tifiles_ve_create_alloc_data(static_cast<uint32_t>(size));
    if (!content || !ve) {
        if (content) tifiles_content_delete_regular(content);
        if (ve) tifiles_ve_delete(ve);
        throw std::bad_alloc();
    }
    std::snprintf(ve->name, sizeof ve->name, "%s", var.name.c_str());
    ve->type = var.type;
    ve->version = var.version;
    ve->attr = m.options.archive ? ATTRB_ARCHIVED : ATTRB_NONE;
    ve->size = static_cast<uint32_t>(size);
    ve->data[0] = static_cast<uint8_t>(var.tokens.size() & 0xFF);
    ve->data[1] = static_cast<uint8_t>(var.tokens.size() >> 8);
    std::copy(var.tokens.begin(), var.tokens.end(), ve->data + 2);
    tifiles_content_add_entry(content, ve);

    m.progress = &progress;
    m.total = size;
    m.sent = 0;
    m.inData = false;
    m.dataSent = false;
    m.usbError = -1;
    const int err = ticalcs_calc_send_var(m.calc, MODE_NORMAL, content);
    m.progress = nullptr;
    tifiles_content_delete_regular(content);
    if (err) return m.Fail(err, Impl::Phase::Sending, name);
    // A calculator that skips the variable still ends the exchange cleanly.
    if (!m.dataSent) return m.Fail(kVarRejected, Impl::Phase::Sending, name);
    m.freeRead = m.namesRead = false;
    m.programs.clear();
    if (progress) progress(m.total, m.total);
    return {};
}

Status SendProgram(const LinkOptions& options, const ProgramVar& var,
                   const std::function<bool(const std::string& name)>& replace, const LinkProgress& progress) {
    LinkTarget target;
    Status r = FindTarget(options, var.calc, target);
    if (r.ok()) r = CheckTarget(var, target, options.archive);
    if (!r.ok()) return r;
    LinkOptions fixed = options;
    fixed.target = target;
    std::unique_ptr<Link> link;
    r = Link::Open(fixed, var.calc, link);
    if (r.ok()) r = link->CheckReady();
    if (r.ok()) r = link->CheckRoom(var);
    bool there = false;
    if (r.ok() && replace) r = link->Exists(var, there);
    if (!r.ok()) return r;
    if (there && !replace(var.name)) return Status::Cancelled();
    return link->Send(var, progress);
}

}  // namespace tavrilo
