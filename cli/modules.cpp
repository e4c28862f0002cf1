// SPDX-License-Identifier: GPL-3.0-or-later
#include "modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace tavrilo::cli {

void* LoadModule(const std::string& file, std::string& why) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof self) {
        why = "the program's own folder cannot be found (/proc/self/exe)";
        return nullptr;
    }
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    const std::string installed = dir + TAVRILO_MODULE_DIR_FROM_BIN "/" + file, beside = dir + file;
    for (const std::string& path : {installed, beside}) {
        if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        if (access(path.c_str(), F_OK) == 0) {
            why = dlerror();
            return nullptr;
        }
    }
    why = "neither " + installed + " nor " + beside + " is there";
    return nullptr;
}

Status ImportDocumentText(DocumentKind kind, std::string_view bytes, std::string& utf8) {
    std::string why;
    void* module = LoadModule(kImportModule, why);
    const auto import = module ? reinterpret_cast<ImportDocument>(dlsym(module, kImportSymbol)) : nullptr;
    if (import == nullptr)
        return Status::Failed("the document reader cannot be loaded: " + (module ? std::string(dlerror()) : why));
    Status result;
    if (import(kImportLayout, kind, bytes, utf8, result) == kOtherImportLayout)
        return Status::Failed(std::string(kImportModule) + " is of another version of this program");
    return result;
}

}  // namespace tavrilo::cli
