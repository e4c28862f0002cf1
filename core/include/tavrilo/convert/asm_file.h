// SPDX-License-Identifier: GPL-3.0-or-later
// The assembly source file: where it goes and how it is written.
#pragma once

#include <string>
#include <string_view>

#include "tavrilo/convert/asm.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/convert/line_store.h"

namespace tavrilo {

// The program's directory with a separator at the end.
std::string OutputDir(std::string programDir);

// The output directory followed by the name exactly as typed.
std::string FullName(const std::string& outputDir, const std::string& name);

// Writes the source of text to fullName, replacing any file there; data holds
// the data lines afterwards. On failure the target is left as it was. A FIFO
// that no program reads is an error (ENXIO), not a wait.
Status WriteAsmFile(const std::string& fullName, std::string_view text, const AsmOpts& opts,
                      LineStore& data);

}  // namespace tavrilo
