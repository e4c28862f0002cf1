// The exception being handled, as an error text and number for ShowError.
#pragma once

#include <QString>

namespace tavrilo {

struct ErrorInfo {
    QString description;
    int number;
};

// Call only inside a catch block.
ErrorInfo CurrentError();

}  // namespace tavrilo
