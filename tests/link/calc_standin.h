// SPDX-License-Identifier: GPL-3.0-or-later
// A calculator stand-in on libticables' virtual link (CABLE_VTI), for tests:
// it answers the calculator's side of a silent transfer in a thread. A TI-83
// or TI-83 Plus speaks the serial protocol; a TI-84 Plus on its own USB port
// and a TI-84 Plus CE speak the USB protocol (usb_standin.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Why the virtual link is the machine's, not these tests' own; "" when it is theirs.
const std::string& VirtualLinkShared();
// The IPC namespace the process started in, where the machine's link is; -1 if unknown.
int StartingIpcNamespace();

struct StoredVar {
    std::uint8_t type;
    std::string name;
    std::vector<std::uint8_t> data;
    bool archived = false;
};

class CalcStandIn {
public:
    // Reject answers the variable header with SKP and the reason code arg (over
    // USB: the error code arg); CutAfter stops reading arg bytes into the data;
    // ShortFree answers the free memory with arg bytes only.
    enum class Fault { None, Silent, Reject, CutAfter, ShortFree };
    enum class Usb { Ti84Plus, Ce };

    explicit CalcStandIn(bool plus);
    explicit CalcStandIn(Usb model);
    ~CalcStandIn();

    void Set(Fault fault, std::size_t arg = 0) { fault_ = fault, arg_ = arg; }
    void SetFreeMemory(std::uint32_t bytes) { free_ = bytes; }
    void SetFreeArchive(std::uint32_t bytes) { freeArchive_ = bytes; }
    std::vector<StoredVar> Stored();

private:
    struct Ring;
    void Run();
    bool Attach();
    bool Read(std::uint8_t* out, std::size_t n);
    void Write(std::uint8_t cmd, const std::vector<std::uint8_t>* data = nullptr);
    bool Packet(std::uint8_t& cmd, std::vector<std::uint8_t>& data);
    void Exchange(std::uint8_t cmd, const std::vector<std::uint8_t>& data);
    void WriteBytes(const std::vector<std::uint8_t>& bytes);
    void Keep(StoredVar v);
    // The USB protocol: raw packets carrying virtual packets.
    void RunUsb();
    bool RecvVirtual(std::uint16_t& type, std::vector<std::uint8_t>& data);
    bool SendVirtual(std::uint16_t type, const std::vector<std::uint8_t>& data = {});
    void UsbExchange(std::uint16_t type, const std::vector<std::uint8_t>& data);

    const std::uint8_t id_;
    std::atomic<Fault> fault_{Fault::None};
    std::atomic<std::size_t> arg_{0};
    std::atomic<std::uint32_t> free_{24310};
    std::atomic<std::uint32_t> freeArchive_{1500000};
    const std::uint32_t usbBuffer_ = 0;  // the raw packet size a USB calculator allocates; 0: serial
    std::atomic<bool> stop_{false};
    int shmid_[2] = {-1, -1};
    Ring* ring_[2] = {nullptr, nullptr};  // [0] we write, [1] we read
    std::mutex mutex_;
    std::vector<StoredVar> stored_;
    std::thread thread_;
};
