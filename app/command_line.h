// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's command line: tavrilo [FILE]
#pragma once

#include <QStringList>
#include <optional>

namespace tavrilo {

class Form1;

// FILE of the arguments (the program's name first): the first argument that
// is no option, or the one after "--".
std::optional<QString> FileArgument(const QStringList& arguments);

// What -h/--help or --version (before any "--") print instead of starting
// the program; nothing for any other command line.
std::optional<QString> InfoRequested(const QStringList& arguments);

// What is wrong with the arguments, as getopt names it, the toolkit's own
// (-style, -platform, ...) passed over; nothing when they are right. Needs
// no display, so that a usage error is reported without one.
std::optional<QString> UsageProblem(const QStringList& arguments);

// Opens FILE in form as File > Open does, when one is given.
void OpenFileArgument(Form1& form, const QStringList& arguments);

}  // namespace tavrilo
