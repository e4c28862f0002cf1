// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include "log_window.h"

namespace tavrilo {
namespace {

Form2* gLog = nullptr;

}  // namespace

Form2* LogWindow() {
    if (gLog == nullptr) gLog = new Form2;
    return gLog;
}

void AddLog(const QString& message, bool newline) { LogWindow()->Append(message, newline); }

void DestroyLogWindow() {
    delete gLog;
    gLog = nullptr;
}

}  // namespace tavrilo
