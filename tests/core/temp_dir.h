// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "tavrilo/system/file_io.h"

namespace tavrilo::test {

// A fresh directory that is removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tavrilo-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::size_t EntryCount(const std::string& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

// What write(BufferedWriter&) puts through a writer into a file, and whether
// the writer's flush succeeded.
template <class Write>
std::string WrittenBy(Write&& write, bool* flushed = nullptr) {
    TempDir dir;
    const std::string name = dir / "out";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return "(cannot open " + name + ")";
    bool ok = false;
    {
        BufferedWriter out(fd);
        write(out);
        ok = out.Flush().ok();
    }
    ::close(fd);
    if (flushed) *flushed = ok;
    return Slurp(name);
}

}  // namespace tavrilo::test
