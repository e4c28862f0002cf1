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
#include <new>

#include "tavrilo/calc/calculators.h"

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
    CalcKind kind = CalcKind::Ti83;

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

    Status Fail(int code, Phase phase, const std::string& name = {}) const {
        if (Cancelled()) return Status::Cancelled();
        const std::string calcName = Name();
        switch (code) {
        case kLibusbOpen:
        case kLibusbClaim:
        case kUsbfs:
            return Status::Failed("The USB link cable cannot be opened for lack of permission: install Debian's "
                                  "libticables package, whose udev rules give the logged-in user access, then "
                                  "unplug the cable and plug it in again.");
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
            if (code >= kCalcSaidNo && code < kCalcSaidNo + 100 && phase == Phase::Sending)
                return Status::Failed("The " + calcName + " refused " + name + ": " + Detail(code));
            if (code >= kChecksum && code <= kInvalidPacket && phase != Phase::Open)
                return Status::Failed("The link broke while talking to the " + calcName +
                                      ": check the cable and try again.");
        }
        return Status::Failed("The link to the calculator failed: " + Detail(code));
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

    std::string Name() const { return model == CALC_TI84P_USB ? "TI-84 Plus" : std::string(Calc(kind).name); }

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

    Status ChooseCable() {
        const Calculator& row = Calc(kind);
        if (!row.noSend.empty()) return Status::Failed(std::string(row.noSend));
        model = ticalcs_string_to_model(std::string(row.linkModel).c_str());
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
        const auto cables = FindCables();
        const auto silver = std::find_if(cables.begin(), cables.end(), [](auto& c) { return !c.directLink; });
        if (silver != cables.end()) {
            cableModel = CABLE_SLV;
        } else if (!cables.empty() && !row.usbLinkModel.empty()) {
            cableModel = CABLE_USB;
            model = ticalcs_string_to_model(std::string(row.usbLinkModel).c_str());
        } else if (!cables.empty()) {
            return Status::Failed("Only a TI-84 Plus is connected by USB, and a " + std::string(row.name) +
                                  " program cannot be sent to it: make the program for the TI-83 Plus, or connect a " +
                                  std::string(row.name) + " with a SilverLink.");
        } else {
            return Status::Failed(kCablesLookedFor);
        }
        return {};
    }

    Status Open() {
        InitLibraries();
        if (Status r = ChooseCable(); !r.ok()) return r;
        cable = ticables_handle_new(cableModel, cableModel == CABLE_VTI ? PORT_2 : PORT_1);
        calc = ticalcs_handle_new(model);
        if (!cable || !calc) return Fail(kNoCable, Phase::Open);
        ticables_options_set_timeout(cable, static_cast<unsigned>(options.timeoutSeconds * 10));
        if (cableModel == CABLE_GRY) ticables_cable_set_device(cable, options.device.c_str());
        ticables_cable_set_event_hook(cable, &CableEvent);
        ticables_cable_set_event_user_pointer(cable, this);
        ticalcs_calc_set_event_hook(calc, &CalcEvent);
        ticalcs_calc_set_event_user_pointer(calc, this);
        update.start = update.stop = update.refresh = update.pbar = update.label = &NoOp;
        ticalcs_update_set(calc, &update);
        if (const int err = ticalcs_cable_attach(calc, cable)) return Fail(err, Phase::Open);
        attached = true;
        return {};
    }

    void Close() {
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
            uint32_t ram = 0, flash = 0;
            if (const int err = ticalcs_calc_get_memfree(calc, &ram, &flash)) return Fail(err, Phase::Listing);
            if (ram != UINT32_MAX) freeMemory = ram;
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
    made->impl_->kind = calc;
    if (Status r = made->impl_->Open(); !r.ok()) return r;  // the destructor closes what was opened
    link = std::move(made);
    return {};
}

Link::~Link() { impl_->Close(); }

std::string Link::CalculatorName() const { return impl_->Name(); }

Status Link::CheckReady() {
    if (impl_->Cancelled()) return impl_->Fail(kAbort, Impl::Phase::Ready);
    Impl& m = *impl_;
    if (!(ticalcs_calc_features(m.calc) & OPS_ISREADY)) return {};
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
        return Status::Failed(var.name + " needs " + Grouped(needed) + " bytes; the calculator has " + Grouped(*free) +
                              " free");
    return {};
}

Status Link::Send(const ProgramVar& var, const LinkProgress& progress) {
    Impl& m = *impl_;
    if (m.Cancelled()) return m.Fail(kAbort, Impl::Phase::Sending, var.name);
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
    ve->attr = ATTRB_NONE;
    ve->size = static_cast<uint32_t>(size);
    ve->data[0] = static_cast<uint8_t>(var.tokens.size() & 0xFF);
    ve->data[1] = static_cast<uint8_t>(var.tokens.size() >> 8);
    std::copy(var.tokens.begin(), var.tokens.end(), ve->data + 2);
    tifiles_content_add_entry(content, ve);

    m.progress = &progress;
    m.total = size;
    m.sent = 0;
    m.inData = m.model == CALC_TI84P_USB;  // no DBUS packets to mark the data: count every byte
    m.dataSent = false;
    const int err = ticalcs_calc_send_var(m.calc, MODE_NORMAL, content);
    m.progress = nullptr;
    tifiles_content_delete_regular(content);
    if (err) return m.Fail(err, Impl::Phase::Sending, var.name);
    // A calculator that skips the variable still ends the exchange cleanly.
    if (!m.dataSent && m.model != CALC_TI84P_USB) return m.Fail(kVarRejected, Impl::Phase::Sending, var.name);
    m.freeRead = m.namesRead = false;
    m.programs.clear();
    if (progress) progress(m.total, m.total);
    return {};
}

Status SendProgram(const LinkOptions& options, const ProgramVar& var,
                   const std::function<bool(const std::string& name)>& replace, const LinkProgress& progress) {
    std::unique_ptr<Link> link;
    Status r = Link::Open(options, var.calc, link);
    if (r.ok()) r = link->CheckReady();
    if (r.ok()) r = link->CheckRoom(var);
    bool there = false;
    if (r.ok() && replace) r = link->Exists(var, there);
    if (!r.ok()) return r;
    if (there && !replace(var.name)) return Status::Cancelled();
    return link->Send(var, progress);
}

}  // namespace tavrilo
