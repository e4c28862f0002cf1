// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator's side of the USB protocol, as libticalcs' dusb_rpkt,
// dusb_vpkt, dusb_cmd and calc_84p speak it: raw packets (size, type, data)
// each acknowledged, carrying virtual packets (size, type, data).
#include <chrono>

#include "calc_standin.h"

namespace {
using Bytes = std::vector<std::uint8_t>;
enum : std::uint8_t { kBufSizeReq = 1, kBufSizeAlloc = 2, kVirtData = 3, kVirtLast = 4, kVirtAck = 5 };
enum : std::uint16_t { kPing = 0x0001, kParmReq = 0x0007, kParmData = 0x0008, kDirReq = 0x0009, kVarHdr = 0x000A,
                       kRts = 0x000B, kVarCnts = 0x000D, kModeAck = 0x0012, kDataAck = 0xAA00, kEot = 0xDD00,
                       kError = 0xEE00 };
enum : std::uint16_t { kFreeRam = 0x000E, kFreeFlash = 0x0011 };
enum : std::uint16_t { kAidSize = 0x0001, kAidType = 0x0002, kAidArchived = 0x0003 };

void Put(Bytes& b, std::uint32_t v, int n) {
    while (n--) b.push_back(static_cast<std::uint8_t>(v >> (8 * n)));
}
std::uint32_t Get(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | (at + i < b.size() ? b[at + i] : 0);
    return v;
}
void Attr(Bytes& b, std::uint16_t id, std::uint32_t value, int size) {
    Put(b, id, 2), Put(b, 0, 1), Put(b, size, 2), Put(b, value, size);
}
}  // namespace

CalcStandIn::CalcStandIn(Usb model) : id_(0), usbBuffer_(model == Usb::Ce ? 1018 : 250) {
    Attach();
    thread_ = std::thread([this] { Run(); });
}

// One virtual packet from the computer, after any buffer size request; each
// raw packet is acknowledged. A cut link stops reading the variable's contents.
bool CalcStandIn::RecvVirtual(std::uint16_t& type, Bytes& data) {
    data.clear();
    std::size_t declared = 0;
    for (bool first = true;;) {
        Bytes head(5);
        if (!Read(head.data(), 5)) return false;
        Bytes raw(Get(head, 0, 4));
        if (raw.size() > 1023 || !Read(raw.data(), raw.size())) return false;
        if (head[4] == kBufSizeReq) {
            Bytes alloc;
            Put(alloc, 4, 4), Put(alloc, kBufSizeAlloc, 1), Put(alloc, usbBuffer_, 4);
            if (fault_ != Fault::Silent) WriteBytes(alloc);
            continue;
        }
        if (head[4] != kVirtData && head[4] != kVirtLast) return false;
        auto from = raw.begin();
        if (first) {
            declared = Get(raw, 0, 4), type = static_cast<std::uint16_t>(Get(raw, 4, 2));
            from += std::min<std::size_t>(6, raw.size());
            first = false;
        }
        data.insert(data.end(), from, raw.end());
        if (type == kVarCnts && fault_ == Fault::CutAfter && data.size() >= arg_) {
            while (Attach() && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return false;
        }
        Bytes ack;
        Put(ack, 2, 4), Put(ack, kVirtAck, 1), Put(ack, 0xE000, 2);
        WriteBytes(ack);
        if (head[4] == kVirtLast) return data.size() == declared;
    }
}

// One virtual packet to the computer in one raw packet, and its acknowledgement.
bool CalcStandIn::SendVirtual(std::uint16_t type, const Bytes& data) {
    Bytes raw;
    Put(raw, 6 + data.size(), 4), Put(raw, kVirtLast, 1), Put(raw, data.size(), 4), Put(raw, type, 2);
    raw.insert(raw.end(), data.begin(), data.end());
    WriteBytes(raw);
    Bytes ack(7);
    return Read(ack.data(), ack.size()) && ack[4] == kVirtAck;
}

void CalcStandIn::UsbExchange(std::uint16_t type, const Bytes& in) {
    Bytes out;
    if (type == kPing) {
        SendVirtual(kModeAck, Bytes(4, 0));
    } else if (type == kParmReq) {
        const std::uint32_t n = Get(in, 0, 2);
        Put(out, n, 2);
        for (std::uint32_t i = 0; i < n; ++i) {
            const auto pid = static_cast<std::uint16_t>(Get(in, 2 + 2 * i, 2));
            // Free memory is 8 bytes: its high half, then its low half.
            const int size = fault_ == Fault::ShortFree ? static_cast<int>(arg_.load()) : 8;
            Attr(out, pid, pid == kFreeRam ? free_.load() : pid == kFreeFlash ? freeArchive_.load() : 0, size);
        }
        SendVirtual(kParmData, out);
    } else if (type == kDirReq) {
        for (const StoredVar& v : Stored()) {
            Bytes head{0, static_cast<std::uint8_t>(v.name.size())};
            head.insert(head.end(), v.name.begin(), v.name.end());
            head.push_back(0);
            Put(head, 3, 2);
            Attr(head, kAidSize, static_cast<std::uint32_t>(v.data.size()), 4);
            Attr(head, kAidType, 0xF0070000 | v.type, 4);
            Attr(head, kAidArchived, v.archived, 1);
            if (!SendVirtual(kVarHdr, head)) return;
        }
        SendVirtual(kEot);
    } else if (type == kRts && !in.empty()) {
        // Folder (none), name, size, a mode byte, then the attributes.
        std::size_t j = in[0] ? in[0] + 2u : 1u;
        const std::size_t nameLength = j < in.size() ? in[j] : 0;
        StoredVar v{0, std::string(in.begin() + std::min(in.size(), j + 1), in.begin() + std::min(in.size(), j + 1 + nameLength)), {}};
        j += 1 + nameLength + 1 + 4 + 1;
        for (std::uint32_t n = Get(in, j, 2), i = (j += 2, 0); i < n && j + 4 <= in.size(); ++i) {
            const std::uint32_t id = Get(in, j, 2), size = Get(in, j + 2, 2);
            if (id == kAidType) v.type = static_cast<std::uint8_t>(Get(in, j + 4 + 3, 1));
            if (id == kAidArchived) v.archived = Get(in, j + 4, 1) != 0;
            j += 4 + size;
        }
        if (fault_ == Fault::Reject) {
            Put(out, static_cast<std::uint32_t>(arg_), 2);
            SendVirtual(kError, out);
            return;
        }
        std::uint16_t next;
        if (!SendVirtual(kDataAck, Bytes(2, 0)) || !RecvVirtual(next, v.data) || next != kVarCnts) return;
        Keep(std::move(v));  // before the acknowledgement that lets the sender finish
        SendVirtual(kDataAck, Bytes(2, 0));
        RecvVirtual(next, out);  // the end of the transmission
    }
}

void CalcStandIn::RunUsb() {
    std::uint16_t type;
    Bytes data;
    while (!stop_) {
        if (!RecvVirtual(type, data)) continue;
        if (fault_ != Fault::Silent) UsbExchange(type, data);
    }
}
