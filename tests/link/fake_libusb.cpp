// SPDX-License-Identifier: GPL-3.0-or-later
// A libusb whose transfers stay under way until cancelled, behind the
// program's own submit and free.
#include <libusb.h>

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
}
