// SPDX-License-Identifier: GPL-3.0-or-later
// File > Open and File > Save.
#include <cerrno>
#include <cstdint>
#include <new>

#include "file_error.h"
#include "local_path.h"
#include "main_window.h"
#include "module1.h"
#include "preview_window.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kMaxOpenMiB = 64;

FileDialogRequest TextFileDialog(const QString& title) {
    return FileDialogRequest{title, QStringLiteral("noname"), QStringLiteral("Text file"),
                          QStringLiteral("*.txt")};
}

}  // namespace

void Form1::Open() {
    AddLog(QStringLiteral("Open file. "), true);
    std::optional<QString> path = port_.OpenFileName(this, TextFileDialog(QString()));
    if (!path) {
        AddLog(QStringLiteral("Cancel by user..."), true);
        return;
    }
    OpenPath(*path);
}

void Form1::OpenPath(const QString& path) {
    AddLog(QStringLiteral("Reading file... "), false);
    std::string bytes;
    std::uint64_t size = 0;
    Status r;
    try {
        r = ReadRegularFile(LocalPath(path), kMaxOpenMiB * kMiB, bytes, size);
        if (r.ok()) {
            LineEndsToCrLf(bytes);  // as tavrilo-convert reads its text
            text1_->ReplaceAll(bytes);
        }
    } catch (const std::bad_alloc&) {
        r = Status::FromErrno(ENOMEM);
    }
    if (!r.ok()) {
        QString reason = FileError("read", path, r);
        if (r.code == EFBIG)
            reason = QStringLiteral("cannot read '%1': it is %2 MiB; Tavrilo opens texts up to %3 MiB")
                         .arg(path)
                         .arg((size + kMiB - 1) / kMiB)
                         .arg(kMaxOpenMiB);
        EndFailed(reason, r.code, ErrorCaption::Keep);
        return;
    }
    RememberTextFile(path);
    MarkTextUnchanged();
    if (preview_) preview_->StartAtFirstScreen();  // another text: its screens from the first
    AddLog(QStringLiteral("Done."), true);
}

void Form1::Save() {
    AddLog(QStringLiteral("Save file."), true);
    std::optional<QString> path = port_.SaveFileName(this, TextFileDialog(QStringLiteral("Save")));
    AddLog(QStringLiteral("Writeing file... "), false);
    if (!path) {
        AddLog(QStringLiteral("Cancel by user..."), true);
        return;
    }
    Status r;
    try {
        r = WriteWholeFile(LocalPath(*path), text1_->Bytes() + "\r\n");
    } catch (const std::bad_alloc&) {
        r = Status::FromErrno(ENOMEM);
    }
    if (!r.ok()) {
        EndFailed(FileError("write", *path, r), r.code, ErrorCaption::Keep);
        return;
    }
    RememberTextFile(*path);
    MarkTextUnchanged();
    AddLog(QStringLiteral("Done."), true);
}

}  // namespace tavrilo
