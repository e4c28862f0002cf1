// SPDX-License-Identifier: GPL-3.0-or-later
// The link through libticables2 / libticalcs2: cable choice, model choice,
// ready check, memory and listing, silent send, and every failure as a sentence.
#include "tavrilo/link/link.h"

#include <glib.h>
#include <glob.h>
#include <ticables.h>
#include <ticalcs.h>
#include <tifiles.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tavrilo/calc/program_file.h"

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
    kCalcSaidNo = 300,  // 300-399: the calculator's own error codes
};
constexpr std::uint8_t kCmdData = 0x15;  // DBUS data packet

constexpr char kCablesLookedFor[] =
    "No link cable found: looked for a SilverLink USB cable and a TI-84 Plus connected by its own "
    "USB cable (DirectLink); a serial GrayLink cannot be found this way, name its serial port.";

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

}  // namespace

std::vector<FoundCable> FindCables() {
    InitLibraries();
    std::vector<FoundCable> found;
    CableDeviceInfo* list = nullptr;
    int count = 0;
    if (ticables_get_usb_device_info(&list, &count) != 0 || !list) return found;
    for (int i = 0; i < count; ++i) {
        if (list[i].family == CABLE_FAMILY_DBUS)
            found.push_back({CableKind::Usb, false, "SilverLink (USB)"});
        else if (list[i].family == CABLE_FAMILY_USB_TI8X && list[i].variant != CABLE_VARIANT_TI84PCE &&
                 list[i].variant != CABLE_VARIANT_TI83PCE && list[i].variant != CABLE_VARIANT_TI82A)
            found.push_back({CableKind::Usb, true, "TI-84 Plus DirectLink (USB)"});
    }
    ticables_free_usb_device_info(list);
    return found;
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

struct Link::Impl {
    LinkOptions options;
    CableModel cableModel = CABLE_NUL;
    CalcModel model = CALC_NONE;
    CableHandle* cable = nullptr;
    CalcHandle* calc = nullptr;
    CalcUpdate update{};
    bool attached = false;

    // Free memory and program names, each read once.
    bool freeRead = false, namesRead = false;
    std::optional<std::uint32_t> freeMemory;
    std::vector<std::string> programs;

    // Progress of the data packet being sent.
    const LinkProgress* progress = nullptr;
    std::size_t total = 0, sent = 0;
    bool inData = false, dataSent = false;

    bool Cancelled() const { return options.cancel && options.cancel->load(); }

    enum class Phase { Open, Ready, Listing, Sending };

    [[noreturn]] void Fail(int code, Phase phase, const std::string& name = {}) const {
        using K = LinkError::Kind;
        if (Cancelled()) throw LinkError(K::Cancelled, "Cancel by user");
        const std::string calcName = Name();
        switch (code) {
        case kLibusbOpen:
        case kLibusbClaim:
        case kUsbfs:
            throw LinkError(K::Permission,
                            "The USB link cable cannot be opened for lack of permission: install Debian's "
                            "libticables package, whose udev rules give the logged-in user access, then "
                            "unplug the cable and plug it in again.");
        case kSerialOpen:
        case kSerialIoctl:
        case kNoRoot:
        case kSerialDevice:
        case kTtyOpen:
        case kTtyIoctl:
            throw LinkError(K::Permission, "The serial port " + options.device +
                                               " cannot be used: check that it is the GrayLink's port and "
                                               "that you may use it (group dialout).");
        case kNoCable:
            throw LinkError(K::NoCable, kCablesLookedFor);
        case kReadTimeout:
        case kWriteTimeout:
        case kNotReady:
            if (phase == Phase::Sending)
                throw LinkError(K::Broken, "The link broke while sending " + name +
                                               ": check the cable and send it again.");
            if (phase == Phase::Open) break;
            throw LinkError(K::NoAnswer, "The " + calcName + " did not answer within " +
                                             Seconds(options.timeoutSeconds) +
                                             ": check that it is on and at its home screen.");
        case kOutOfMemory:
            throw LinkError(K::Refused, "The " + calcName + " refused " + name + ": its memory is full.");
        case kAbort:
        case kVarRejected:
        case kVarVersion:
            throw LinkError(K::Refused, "The " + calcName + " refused " + name +
                                            ": it will not take a program of that name.");
        default:
            if (code >= kCalcSaidNo && code < kCalcSaidNo + 100 && phase == Phase::Sending)
                throw LinkError(K::Refused, "The " + calcName + " refused " + name + ": " + Detail(code));
            if (code >= kChecksum && code <= kInvalidPacket && phase != Phase::Open)
                throw LinkError(K::Broken, "The link broke while talking to the " + calcName +
                                               ": check the cable and try again.");
        }
        throw LinkError(K::Other, "The link to the calculator failed: " + Detail(code));
    }

    // The first line of the libraries' own text for code, with a full stop.
    static std::string Detail(int code) {
        char* text = nullptr;
        if (code >= 256) ticalcs_error_get(code, &text); else ticables_error_get(code, &text);
        std::string detail = text ? text : "error " + std::to_string(code);
        g_free(text);
        detail = detail.substr(0, detail.find('\n'));
        if (detail.rfind("Msg: ", 0) == 0) detail.erase(0, 5);
        if (detail.empty() || detail.back() != '.') detail += '.';
        return detail;
    }

    std::string Name() const {
        switch (model) {
        case CALC_TI83: return "TI-83";
        case CALC_TI84P_USB: return "TI-84 Plus";
        default: return "TI-83 Plus";
        }
    }

    // libticables: stops at the next block when cancelled; counts data bytes.
    static int CableEvent(CableHandle*, uint32_t, const CableEventData* e, void* user) {
        auto* self = static_cast<Impl*>(user);
        if ((e->type == CABLE_EVENT_TYPE_BEFORE_SEND || e->type == CABLE_EVENT_TYPE_BEFORE_RECV) &&
            self->Cancelled())
            return kAbort;
        if (e->type == CABLE_EVENT_TYPE_AFTER_SEND && e->retval == 0 && self->inData) {
            self->sent = std::min(self->total, self->sent + e->data.data.len);
            if (self->progress && *self->progress) (*self->progress)(self->sent, self->total);
        }
        return e->retval;
    }

    // libticalcs: marks where the data packet starts and ends.
    static int CalcEvent(CalcHandle*, uint32_t, const CalcEventData* e, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->update.cancel = self->Cancelled();
        if (e->type == CALC_EVENT_TYPE_BEFORE_SEND_DBUS_PKT && e->data.dbus_pkt.cmd == kCmdData) {
            self->inData = true;
        } else if (e->type == CALC_EVENT_TYPE_AFTER_SEND_DBUS_PKT && self->inData) {
            self->inData = false;
            self->dataSent = e->retval == 0;
        }
        return e->retval;
    }

    // libticables names a port it cannot use by a placeholder, so the port is looked at first.
    static void CheckSerialPort(const std::string& device) {
        struct stat st {};
        int err = 0;
        if (stat(device.c_str(), &st) != 0 || (S_ISCHR(st.st_mode) && access(device.c_str(), R_OK | W_OK) != 0))
            err = errno;
        else if (!S_ISCHR(st.st_mode))
            err = ENOTTY;
        if (err == 0) return;
        throw LinkError(err == EACCES ? LinkError::Kind::Permission : LinkError::Kind::NoCable,
                        "The serial port " + device + " cannot be used (" +
                            (err == ENOTTY ? std::string("it is not a serial port") : std::strerror(err)) +
                            "): check that it is the GrayLink's port and that you may use it (group dialout).");
    }

    void ChooseCable(LinkFamily family) {
        const bool plus = family == LinkFamily::Ti83Plus;
        model = plus ? CALC_TI83P : CALC_TI83;
        switch (options.cable) {
        case CableKind::Virtual:
            cableModel = CABLE_VTI;
            return;
        case CableKind::GrayLink:
            if (options.device.empty())
                throw LinkError(LinkError::Kind::NoCable,
                                "A serial GrayLink needs its port named, such as /dev/ttyS0 or /dev/ttyUSB0.");
            CheckSerialPort(options.device);
            cableModel = CABLE_GRY;
            return;
        case CableKind::Auto:
        case CableKind::Usb:
            break;
        }
        const auto cables = FindCables();
        const auto silver = std::find_if(cables.begin(), cables.end(), [](auto& c) { return !c.directLink; });
        if (silver != cables.end()) {
            cableModel = CABLE_SLV;
        } else if (!cables.empty() && plus) {
            cableModel = CABLE_USB;
            model = CALC_TI84P_USB;
        } else if (!cables.empty()) {
            throw LinkError(LinkError::Kind::NoCable,
                            "Only a TI-84 Plus is connected by USB, and a TI-83 program cannot be sent to it: "
                            "make the program for the TI-83 Plus, or connect a TI-83 with a SilverLink.");
        } else {
            throw LinkError(LinkError::Kind::NoCable, kCablesLookedFor);
        }
    }

    void Open(LinkFamily family) {
        InitLibraries();
        ChooseCable(family);
        cable = ticables_handle_new(cableModel, cableModel == CABLE_VTI ? PORT_2 : PORT_1);
        calc = ticalcs_handle_new(model);
        if (!cable || !calc) Fail(kNoCable, Phase::Open);
        ticables_options_set_timeout(cable, static_cast<unsigned>(options.timeoutSeconds * 10));
        if (cableModel == CABLE_GRY) ticables_cable_set_device(cable, options.device.c_str());
        ticables_cable_set_event_hook(cable, &CableEvent);
        ticables_cable_set_event_user_pointer(cable, this);
        ticalcs_calc_set_event_hook(calc, &CalcEvent);
        ticalcs_calc_set_event_user_pointer(calc, this);
        update.start = update.stop = update.refresh = update.pbar = update.label = &NoOp;
        ticalcs_update_set(calc, &update);
        if (const int err = ticalcs_cable_attach(calc, cable)) Fail(err, Phase::Open);
        attached = true;
    }

    void Close() {
        if (attached) ticalcs_cable_detach(calc);
        if (calc) ticalcs_handle_del(calc);
        if (cable) ticables_handle_del(cable);
        attached = false;
        calc = nullptr;
        cable = nullptr;
    }

    void ReadFree() {
        if (freeRead) return;
        if (Cancelled()) Fail(kAbort, Phase::Listing);
        if (ticalcs_calc_features(calc) & FTS_MEMFREE) {
            uint32_t ram = 0, flash = 0;
            if (const int err = ticalcs_calc_get_memfree(calc, &ram, &flash)) Fail(err, Phase::Listing);
            if (ram != UINT32_MAX) freeMemory = ram;
        }
        freeRead = true;
    }

    void ReadNames() {
        if (namesRead) return;
        if (Cancelled()) Fail(kAbort, Phase::Listing);
        if (!(ticalcs_calc_features(calc) & OPS_DIRLIST)) return;
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
        if (err) Fail(err, Phase::Listing);
        namesRead = true;
    }
};

Link::Link(const LinkOptions& options, LinkFamily family) : impl_(std::make_unique<Impl>()) {
    impl_->options = options;
    impl_->options.timeoutSeconds = std::max(1, options.timeoutSeconds);
    try {
        impl_->Open(family);
    } catch (...) {
        impl_->Close();
        throw;
    }
}

Link::~Link() { impl_->Close(); }

std::string Link::CalculatorName() const { return impl_->Name(); }

void Link::CheckReady() {
    if (impl_->Cancelled()) impl_->Fail(kAbort, Impl::Phase::Ready);
    Impl& m = *impl_;
    if (!(ticalcs_calc_features(m.calc) & OPS_ISREADY)) return;
    // Asked once a second, so that Cancel is seen while the calculator is silent.
    const int tries = m.options.timeoutSeconds;
    ticables_options_set_timeout(m.cable, 10);
    int err = 0;
    for (int i = 0; i < tries; ++i) {
        if (i) ticables_cable_reset(m.cable);
        err = ticalcs_calc_isready(m.calc);
        if ((err != kReadTimeout && err != kNotReady) || m.Cancelled()) break;
    }
    ticables_options_set_timeout(m.cable, static_cast<unsigned>(tries * 10));
    if (err) m.Fail(err, Impl::Phase::Ready);
}

std::optional<std::uint32_t> Link::FreeMemory() {
    impl_->ReadFree();
    return impl_->freeMemory;
}

bool Link::Exists(const ProgramVar& var) {
    impl_->ReadNames();
    const auto& p = impl_->programs;
    return std::find(p.begin(), p.end(), var.name) != p.end();
}

void Link::CheckRoom(const ProgramVar& var) {
    const auto free = FreeMemory();
    const std::size_t needed = BytesNeeded(var);
    if (free && needed > *free)
        throw LinkError(LinkError::Kind::NoRoom, var.name + " needs " + Grouped(needed) +
                                                     " bytes; the calculator has " + Grouped(*free) + " free");
}

void Link::Send(const ProgramVar& var, const LinkProgress& progress) {
    Impl& m = *impl_;
    if (m.Cancelled()) m.Fail(kAbort, Impl::Phase::Sending, var.name);
    FileContent* content = tifiles_content_create_regular(m.model);
    VarEntry* ve = tifiles_ve_create_alloc_data(static_cast<uint32_t>(var.data.size()));
    if (!content || !ve) {
        if (content) tifiles_content_delete_regular(content);
        if (ve) tifiles_ve_delete(ve);
        throw LinkError(LinkError::Kind::Other, "Out of memory while preparing " + var.name + ".");
    }
    std::snprintf(ve->name, sizeof ve->name, "%s", var.name.c_str());
    ve->type = var.type;
    ve->version = var.version;
    ve->attr = ATTRB_NONE;
    ve->size = static_cast<uint32_t>(var.data.size());
    std::copy(var.data.begin(), var.data.end(), ve->data);
    tifiles_content_add_entry(content, ve);

    m.progress = &progress;
    m.total = var.data.size();
    m.sent = 0;
    m.inData = m.model == CALC_TI84P_USB;  // no DBUS packets to mark the data: count every byte
    m.dataSent = false;
    const int err = ticalcs_calc_send_var(m.calc, MODE_NORMAL, content);
    m.progress = nullptr;
    tifiles_content_delete_regular(content);
    if (err) m.Fail(err, Impl::Phase::Sending, var.name);
    // A calculator that skips the variable still ends the exchange cleanly.
    if (!m.dataSent && m.model != CALC_TI84P_USB) m.Fail(kVarRejected, Impl::Phase::Sending, var.name);
    m.freeRead = m.namesRead = false;
    m.programs.clear();
    if (progress) progress(m.total, m.total);
}

bool SendProgram(const LinkOptions& options, const ProgramVar& var,
                 const std::function<bool(const std::string& name)>& replace, const LinkProgress& progress) {
    Link link(options, var.family);
    link.CheckReady();
    link.CheckRoom(var);
    if (replace && link.Exists(var) && !replace(var.name)) return false;
    link.Send(var, progress);
    return true;
}

}  // namespace tavrilo
