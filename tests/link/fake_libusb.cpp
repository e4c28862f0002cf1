// SPDX-License-Identifier: GPL-3.0-or-later
// A libusb whose transfers stay under way until cancelled, behind the
// program's own submit and free; its bus holds the devices a test lists.
#include <libusb.h>

#include <vector>

std::vector<libusb_device_descriptor> gFakeBus;  // in libusb's order

extern "C" {
int LIBUSB_CALL libusb_submit_transfer(libusb_transfer* t) {
    t->status = LIBUSB_TRANSFER_COMPLETED;  // what it ends with unless cancelled
    return 0;
}
int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer* t) {
    t->status = LIBUSB_TRANSFER_CANCELLED;
    return 0;
}
void LIBUSB_CALL libusb_free_transfer(libusb_transfer*) {}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
    static std::vector<libusb_device*> devices;
    devices.clear();
    for (libusb_device_descriptor& d : gFakeBus) devices.push_back(reinterpret_cast<libusb_device*>(&d));
    devices.push_back(nullptr);
    *list = devices.data();
    return static_cast<ssize_t>(gFakeBus.size());
}
void LIBUSB_CALL libusb_free_device_list(libusb_device**, int) {}
int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) {
    *desc = *reinterpret_cast<libusb_device_descriptor*>(dev);
    return 0;
}
}
