// SPDX-License-Identifier: GPL-3.0-or-later
// libticables keeps its USB transfer to itself, and a transfer under way waits
// out the timeout it was submitted with. So that Cancel can cut it, this
// program stands in front of libusb's submit and free (libticables and libusb
// itself call them through the symbol table) and keeps the transfers between.
#include "usb_transfers.h"

#include <dlfcn.h>
#include <libusb.h>

#include <mutex>
#include <unordered_set>

namespace {

std::mutex gMutex;
std::unordered_set<libusb_transfer*>* gLive = new std::unordered_set<libusb_transfer*>;  // never freed: used at exit

template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int LIBUSB_CALL libusb_submit_transfer(libusb_transfer* t) {
    static const auto next = Next<int (*)(libusb_transfer*)>("libusb_submit_transfer");
    if (!next) return LIBUSB_ERROR_NOT_SUPPORTED;
    std::lock_guard<std::mutex> lock(gMutex);
    const int r = next(t);
    if (r == 0) gLive->insert(t);
    return r;
}

__attribute__((visibility("default"))) void LIBUSB_CALL libusb_free_transfer(libusb_transfer* t) {
    static const auto next = Next<void (*)(libusb_transfer*)>("libusb_free_transfer");
    std::lock_guard<std::mutex> lock(gMutex);
    gLive->erase(t);
    if (next) next(t);
}

}  // extern "C"

namespace tavrilo {

void CancelUsbTransfers() {
    std::lock_guard<std::mutex> lock(gMutex);
    for (libusb_transfer* t : *gLive) libusb_cancel_transfer(t);  // LIBUSB_ERROR_NOT_FOUND once done
}

}  // namespace tavrilo
