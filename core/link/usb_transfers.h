// SPDX-License-Identifier: GPL-3.0-or-later
// The USB transfers under way in this process, for Cancel to cut.
#pragma once

namespace tavrilo {

// Cancels every libusb transfer submitted and not yet freed: each ends at once
// with LIBUSB_TRANSFER_CANCELLED instead of waiting out its timeout.
void CancelUsbTransfers();

}  // namespace tavrilo
