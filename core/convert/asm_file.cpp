// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/convert/asm_file.h"

namespace tavrilo {

namespace {

// Writes each line followed by CR LF.
class CrLfLineSink : public LineSink {
public:
    explicit CrLfLineSink(BufferedWriter& out) : out_(out) {}
    void Line(std::string_view line) override { out_.WriteCrLf(line); }

private:
    BufferedWriter& out_;
};

}  // namespace

std::string OutputDir(std::string programDir) {
    if (programDir.empty() || programDir.back() != '/') programDir.push_back('/');
    return programDir;
}

std::string FullName(const std::string& outputDir, const std::string& name) {
    return outputDir + name;
}

Status WriteAsmFile(const std::string& fullName, std::string_view text, const AsmOpts& opts,
                      LineStore& data) {
    AtomicFile file;
    Status r = file.Open(fullName);
    data.Clear();
    if (!r.ok()) return r;
    CrLfLineSink sink(file.Writer());
    MakeAsm(text, opts, sink, data);
    return file.Commit();
}

}  // namespace tavrilo
