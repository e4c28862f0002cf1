// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads a program file back with libtifiles, an independent reader of the format.
#include <cstdint>
#include <string>

// The library's headers are C and use restrict.
#define restrict __restrict
#include <tifiles.h>
#undef restrict

namespace tavrilo::test {

struct Read {
    int status = -1;
    CalcModel model = CALC_NONE;
    std::string comment, name;
    int type = -1;
    int version = -1;
    std::string data;  // the variable's data: token count and tokens
    uint16_t computed = 0, stored = 0;
};

inline Read ReadBack(const std::string& path) {
    static const int init = tifiles_library_init();
    (void)init;
    Read r;
    FileContent* content = tifiles_content_create_regular(CALC_NONE);
    r.status = tifiles_file_read_regular(path.c_str(), content);
    if (r.status != 0) return r;  // the library has freed the content
    r.model = content->model;
    r.comment = content->comment;
    r.computed = content->checksum;
    r.stored = content->stored_checksum;
    if (content->num_entries == 1) {
        VarEntry* e = content->entries[0];
        r.name = e->name;
        r.type = e->type;
        r.version = e->version;
        r.data.assign(reinterpret_cast<const char*>(e->data), e->size);
    }
    tifiles_content_delete_regular(content);
    return r;
}

}  // namespace tavrilo::test
