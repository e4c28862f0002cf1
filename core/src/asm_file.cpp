#include "tavrilo/asm_file.h"

namespace tavrilo {

std::string OutputDir(std::string programDir) {
    if (programDir.empty() || programDir.back() != '/') programDir.push_back('/');
    return programDir;
}

std::string FullName(const std::string& outputDir, const std::string& name) {
    return outputDir + name;
}

IoResult WriteAsmFile(const std::string& fullName, std::string_view text, const AsmOpts& opts,
                      LineStore& data) {
    AtomicFile file;
    IoResult r = file.Open(fullName);
    data.Clear();
    if (!r.ok()) return r;
    CrLfLineSink sink(file.Writer());
    MakeAsm(text, opts, sink, data);
    return file.Commit();
}

}  // namespace tavrilo
