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

// What is wrong with the arguments left after the toolkit took its own
// (-style, -platform, ...), as getopt names it; nothing when they are right.
std::optional<QString> UsageProblem(const QStringList& arguments);

// Opens FILE in form as File > Open does, when one is given.
void OpenFileArgument(Form1& form, const QStringList& arguments);

}  // namespace tavrilo
