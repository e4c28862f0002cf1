// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <libusb.h>

#include "../../core/link/usb_transfers.h"
#include "tavrilo/link/link.h"

extern std::vector<libusb_device_descriptor> gFakeBus;  // the fake libusb's devices

// Cancel reaches a transfer under way, and not one already freed.
TEST(UsbTransfers, CancelReachesTheTransfersUnderWay) {
    libusb_transfer pending{}, done{};
    ASSERT_EQ(libusb_submit_transfer(&pending), 0);
    ASSERT_EQ(libusb_submit_transfer(&done), 0);
    libusb_free_transfer(&done);
    tavrilo::CancelUsbTransfers();
    EXPECT_EQ(pending.status, LIBUSB_TRANSFER_CANCELLED);
    EXPECT_EQ(done.status, LIBUSB_TRANSFER_COMPLETED);
    libusb_free_transfer(&pending);
}

// libticables numbers the TI devices it knows (not E010) in libusb's order,
// and opens the first three.
TEST(UsbBus, EachCalculatorIsOpenedAtItsOwnPlaceOnTheBus) {
    using tavrilo::CalcKind;
    const auto ti = [](std::uint16_t product, std::uint16_t version) {
        libusb_device_descriptor d{};
        d.idVendor = 0x0451, d.idProduct = product, d.bcdDevice = version;
        return d;
    };
    const libusb_device_descriptor ce = ti(0xE008, 0x0220), plus = ti(0xE008, 0x0100), link = ti(0xE001, 0x0100);
    gFakeBus = {ti(0xE010, 0x0260), ce, link, plus};
    EXPECT_EQ(tavrilo::UsbPort({CalcKind::Ti84PlusCe, true}), 1);
    EXPECT_EQ(tavrilo::UsbPort({CalcKind::Ti83, false}), 2);
    EXPECT_EQ(tavrilo::UsbPort({CalcKind::Ti83Plus, true}), 3);
    gFakeBus = {ti(0xE008, 0x0660), link, plus, ce};  // a TI-82 Advanced Edition Python first, the CE fourth
    EXPECT_EQ(tavrilo::UsbPort({CalcKind::Ti84PlusCe, true}), 0);
}
