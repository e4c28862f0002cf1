// The ERROR box for an exception caught by a command.
#pragma once

#include <QString>

#include "ui_port.h"

namespace tavrilo {

struct ErrorInfo {
    QString description;
    int number;
};

// The exception being handled, as a description and an error number; call
// only inside a catch block.
ErrorInfo CurrentError();

// "Error: description - number" under the title "ERROR" with the critical icon.
MessageSpec ErrorMessage(const QString& description, int number);

}  // namespace tavrilo
