// SPDX-License-Identifier: GPL-3.0-or-later
// Help > About and Help > Help.
#include "main_window.h"
#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/version.h"

namespace tavrilo {

void Form1::About() {
    MessageRequest about;
    about.text = QStringLiteral("Tavrilo for TI83 V. ") +
                 QString::fromLatin1(kVersion.data(), static_cast<int>(kVersion.size())) +
                 QStringLiteral("\rCoded by: Kel Varno\re-mail: ") +
                 QString::fromLatin1(kAuthorEmail.data(), static_cast<int>(kAuthorEmail.size()));
    port_.Message(this, about);
}

void Form1::Help() {
    MessageRequest help;
    help.text = QStringLiteral(
        "Basic chrs. allowd: 1234567890 ABCDEFGHIJKLMNOPQRSTUVWXYZ.!()*-/+=:{}[]\n"
        "In asm you can use all chrs. in windows (i think) exept \"\n"
        "In Tavrilo is Enter allowd...");
    port_.Message(this, help);
}

}  // namespace tavrilo
