// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc_standin.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

// libticables' VTI ring: 1024 bytes, used modulo 256.
struct CalcStandIn::Ring {
    std::uint8_t buf[1024];
    int start;
    int end;
};

namespace {
enum : std::uint8_t { kVar = 0x06, kCts = 0x09, kData = 0x15, kSkip = 0x36, kAck = 0x56, kReady = 0x68,
                      kEot = 0x92, kReq = 0xA2, kRts = 0xC9 };
bool HasData(std::uint8_t cmd) { return cmd == kVar || cmd == kData || cmd == kSkip || cmd == kReq || cmd == kRts || cmd == 0x88; }
int Load(int& v) { return __atomic_load_n(&v, __ATOMIC_ACQUIRE); }
void Store(int& v, int x) { __atomic_store_n(&v, x, __ATOMIC_RELEASE); }
}  // namespace

namespace {

// The virtual link's keys, from ftok("/tmp", ...), are the same on the whole machine: before
// main, with one thread, the process moves into an IPC namespace of its own (as root, else in
// a user namespace mapping it to itself); where neither is allowed, test runs take turns.
struct PrivateLink {
    int starting = open("/proc/self/ns/ipc", O_RDONLY | O_CLOEXEC);
    std::string shared;
    PrivateLink() {
        const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
        if (unshare(CLONE_NEWIPC) == 0) return;
        const int err = errno;
        if (unshare(CLONE_NEWUSER | CLONE_NEWIPC) == 0 && (std::ofstream("/proc/self/uid_map") << uid + " " + uid + " 1" << std::flush) &&
            (std::ofstream("/proc/self/setgroups") << "deny" << std::flush) && (std::ofstream("/proc/self/gid_map") << gid + " " + gid + " 1" << std::flush))
            return;
        shared = std::string("no IPC namespace of its own (") + std::strerror(err) + "): the virtual link is the machine's, so test runs take turns";
        std::fprintf(stderr, "%s\n", shared.c_str());
        flock(open("/tmp/.tavrilo-virtual-link.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666), LOCK_EX);
    }
} gLink;

}  // namespace

const std::string& VirtualLinkShared() { return gLink.shared; }
int StartingIpcNamespace() { return gLink.starting; }

CalcStandIn::CalcStandIn(bool plus) : id_(plus ? 0x73 : 0x83) {
    Attach();
    thread_ = std::thread([this] { Run(); });
}

CalcStandIn::~CalcStandIn() {
    stop_ = true;
    thread_.join();
    for (int i = 0; i < 2; ++i) {
        if (ring_[i]) shmdt(ring_[i]);
        if (shmid_[i] >= 0) shmctl(shmid_[i], IPC_RMID, nullptr);
    }
}

std::vector<StoredVar> CalcStandIn::Stored() {
    std::lock_guard<std::mutex> lock(mutex_);
    return stored_;
}

// (Re)attaches when the linking program has closed its end, which removes the
// segments; true when the segments are the live ones.
bool CalcStandIn::Attach() {
    auto live = [this](int i) {
        shmid_ds st{};
        return ring_[i] && shmctl(shmid_[i], IPC_STAT, &st) == 0 && !(st.shm_perm.mode & SHM_DEST);
    };
    if (live(0) && live(1)) return true;
    for (int i = 0; i < 2; ++i) {
        if (ring_[i]) shmdt(ring_[i]);
        shmid_[i] = shmget(ftok("/tmp", i), sizeof(Ring), IPC_CREAT | 0666);
        ring_[i] = static_cast<Ring*>(shmat(shmid_[i], nullptr, 0));
    }
    return false;
}

bool CalcStandIn::Read(std::uint8_t* out, std::size_t n) {
    for (std::size_t i = 0; i < n;) {
        Ring& r = *ring_[1];
        const int start = Load(r.start);
        if (start != Load(r.end)) {
            out[i++] = r.buf[start];
            Store(r.start, (start + 1) & 255);
            continue;
        }
        if (stop_ || !Attach()) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

void CalcStandIn::Write(std::uint8_t cmd, const std::vector<std::uint8_t>* data) {
    std::vector<std::uint8_t> p{id_, cmd, 0, 0};
    if (data) {
        unsigned sum = 0;
        for (auto b : *data) sum += b;
        p[2] = data->size() & 255, p[3] = data->size() >> 8;
        p.insert(p.end(), data->begin(), data->end());
        p.push_back(sum & 255), p.push_back((sum >> 8) & 255);
    }
    WriteBytes(p);
}

void CalcStandIn::WriteBytes(const std::vector<std::uint8_t>& p) {
    Ring& r = *ring_[0];
    for (auto b : p) {
        while (((Load(r.end) + 1) & 255) == Load(r.start))
            if (stop_ || !Attach()) return;
        r.buf[Load(r.end)] = b;
        Store(r.end, (Load(r.end) + 1) & 255);
    }
}

bool CalcStandIn::Packet(std::uint8_t& cmd, std::vector<std::uint8_t>& data) {
    std::uint8_t h[4], sum[2];
    if (!Read(h, 4)) return false;
    cmd = h[1];
    data.assign(HasData(cmd) ? h[2] | h[3] << 8 : 0, 0);
    if (!HasData(cmd)) return true;
    const std::size_t cut = fault_ == Fault::CutAfter ? arg_.load() : data.size();
    if (cmd == kData && cut < data.size()) {
        Read(data.data(), cut);
        while (Attach() && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    }
    return Read(data.data(), data.size()) && Read(sum, 2);
}

void CalcStandIn::Exchange(std::uint8_t cmd, const std::vector<std::uint8_t>& in) {
    std::uint8_t reply;
    std::vector<std::uint8_t> data;
    if (cmd == kReady) {
        Write(kAck);
    } else if (cmd == kReq && in.size() >= 3 && in[2] == 0x19) {  // list: free memory, then names
        Write(kAck);
        std::vector<std::uint8_t> free{static_cast<std::uint8_t>(free_ & 255), static_cast<std::uint8_t>(free_ >> 8)};
        if (fault_ == Fault::ShortFree) free.resize(arg_);
        Write(kData, &free);
        if (!Packet(reply, data) || reply != kAck) return;  // EOT: free memory only
        for (const StoredVar& v : Stored()) {
            std::vector<std::uint8_t> head{static_cast<std::uint8_t>(v.data.size() & 255),
                                           static_cast<std::uint8_t>(v.data.size() >> 8), v.type};
            head.insert(head.end(), v.name.begin(), v.name.end());
            head.resize(11, 0);
            Write(kVar, &head);
            if (!Packet(reply, data)) return;
        }
        Write(kEot);
        Packet(reply, data);
    } else if (cmd == kRts && in.size() >= 11) {
        Write(kAck);
        if (fault_ == Fault::Reject) {
            const std::vector<std::uint8_t> reason{static_cast<std::uint8_t>(arg_)};
            Write(kSkip, &reason);
            Packet(reply, data);
            return;
        }
        Write(kCts);
        if (!Packet(reply, data) || !Packet(reply, data) || reply != kData) return;
        StoredVar v{in[2], std::string(reinterpret_cast<const char*>(&in[3]), 8), data};
        v.name.resize(v.name.find('\0') == std::string::npos ? 8 : v.name.find('\0'));
        Keep(std::move(v));  // before the ACK that lets the sender finish
        Write(kAck);
    }
}

void CalcStandIn::Keep(StoredVar v) {
    std::lock_guard<std::mutex> lock(mutex_);
    stored_.push_back(std::move(v));
}

void CalcStandIn::Run() {
    if (usbBuffer_) return RunUsb();
    std::uint8_t cmd;
    std::vector<std::uint8_t> data;
    while (!stop_) {
        if (!Packet(cmd, data)) continue;
        if (fault_ != Fault::Silent) Exchange(cmd, data);
    }
}
