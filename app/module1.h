// SPDX-License-Identifier: GPL-3.0-or-later
// The log: the one way text enters the log window.
#pragma once

#include <QString>

namespace tavrilo {

class Form2;

// The log window, created hidden on first use.
Form2* LogWindow();

// Appends message unchanged, then CR LF when newline is set, and scrolls to the end.
void AddLog(const QString& message, bool newline);

// Destroys the log window with its text (at the end of a run).
void DestroyLogWindow();

}  // namespace tavrilo
