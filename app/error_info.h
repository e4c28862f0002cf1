// SPDX-License-Identifier: GPL-3.0-or-later
// The ERROR box for an exception caught by a command.
#pragma once

#include <QString>
#include <string>

#include "ui_port.h"

namespace tavrilo {

struct ErrorInfo {
    QString description;
    int number;
};

// The exception being handled, as a description and an error number; call
// only inside a catch block.
ErrorInfo CurrentError();

// "Error: description - number" under the title "ERROR" with the critical icon;
// the dash and the number are joined to the text by no-break spaces.
MessageRequest ErrorMessage(const QString& description, int number);

}  // namespace tavrilo
