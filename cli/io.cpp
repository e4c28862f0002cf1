#include "io.h"

#include <unistd.h>

namespace tavrilo::cli {

namespace {

std::string& LastInput() {
    static std::string name = "-";
    return name;
}

}  // namespace

const std::string& InputName() { return LastInput(); }

IoResult ReadInput(const std::string& name, std::string& bytes) {
    LastInput() = name;
    if (name == "-") return ReadAll(STDIN_FILENO, bytes);
    return ReadWholeFile(name, bytes);
}

IoResult Output::Open(const std::string& name) {
    toFile_ = !name.empty();
    if (!toFile_) {
        shown_ = "-";
        stdout_.Reset(STDOUT_FILENO);
        return {};
    }
    shown_ = name;
    return file_.Open(name);
}

IoResult Output::Finish() { return toFile_ ? file_.Commit() : stdout_.Flush(); }

}  // namespace tavrilo::cli
