// SPDX-License-Identifier: GPL-3.0-or-later
// How the core reports a failure a user sees: one sentence, with the
// system's error number behind it where there is one.
#pragma once

#include <cerrno>
#include <string>

namespace tavrilo {

// A user's cancel is a failure too, with the code ECANCELED.
struct Status {
    int code = 0;         // errno, or 0 for a failure that is not the system's
    std::string message;  // empty on success

    bool ok() const { return code == 0 && message.empty(); }
    bool cancelled() const { return code == ECANCELED; }
    // The system's text for err (EIO for 0).
    static Status FromErrno(int err);
    static Status Failed(std::string message, int code = 0) { return {code, std::move(message)}; }
    static Status Cancelled() { return {ECANCELED, "Cancel by user"}; }
};

}  // namespace tavrilo
