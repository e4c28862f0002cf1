// Where tavrilo-convert reads its text and writes its result.
#pragma once

#include <string>

#include "tavrilo/file_io.h"

namespace tavrilo::cli {

// Reads FILE; "-" is standard input, read from descriptor 0 where it stands.
IoResult ReadInput(const std::string& name, std::string& bytes);
// The name ReadInput was last given; "-" before that.
const std::string& InputName();

// The file named by -o, written as AtomicFile writes, or a descriptor already
// open: standard output for no name or "-", and the one /dev/stdout,
// /dev/stderr, /dev/fd/N or /proc/self/fd/N names.
class Output {
public:
    // Fails before anything is written.
    IoResult Open(const std::string& name);
    BufferedWriter& Writer() { return toFile_ ? file_.Writer() : direct_; }
    // Writes what is left; a file then takes its name. Without Finish a file is discarded.
    IoResult Finish();
    // The name for messages: "-" for standard output.
    const std::string& Shown() const { return shown_; }

private:
    std::string shown_ = "-";
    bool toFile_ = false;
    AtomicFile file_;
    BufferedWriter direct_;
};

}  // namespace tavrilo::cli
