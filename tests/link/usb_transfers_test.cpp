// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <libusb.h>

#include "../../core/link/usb_transfers.h"

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
