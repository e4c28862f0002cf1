// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <libusb.h>

#include <vector>

// The devices on the fake bus, in libusb's order.
extern std::vector<libusb_device_descriptor> gFakeBus;
