// SPDX-License-Identifier: GPL-3.0-or-later
// The ERROR box for an exception caught by a command.
#pragma once

#include <QString>
#include <string>
#include <system_error>

#include "tavrilo/system/file_io.h"
#include "ui_port.h"

namespace tavrilo {

struct ErrorInfo {
    QString description;
    int number;
};

// A failed write as an exception: the system's error number with the
// writer's own text.
class IoFailure : public std::system_error {
public:
    explicit IoFailure(const Status& r) : std::system_error(r.code, std::generic_category()), text_(r.message) {}
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// The exception being handled, as a description and an error number; call
// only inside a catch block.
ErrorInfo CurrentError();

// "Error: description - number" under the title "ERROR" with the critical icon;
// the dash and the number are joined to the text by no-break spaces.
MessageRequest ErrorMessage(const QString& description, int number);

}  // namespace tavrilo
