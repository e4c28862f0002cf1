// File > Open and File > Save.
#include "file_error.h"
#include "local_path.h"
#include "main_window.h"
#include "module1.h"
#include "tavrilo/file_io.h"

namespace tavrilo {
namespace {

FileDialogSpec TextFileDialog(const QString& title) {
    return FileDialogSpec{title, QStringLiteral("noname"), QStringLiteral("Text file"),
                          QStringLiteral("*.txt")};
}

}  // namespace

void Form1::Open() {
    AddLog(QStringLiteral("Open file. "), true);
    std::optional<QString> path = port_.OpenFileName(this, TextFileDialog(QString()));
    if (!path) return;
    OpenPath(*path);
}

void Form1::OpenPath(const QString& path) {
    AddLog(QStringLiteral("Reading file... "), false);
    std::string bytes;
    IoResult r = ReadWholeFile(LocalPath(path), bytes);
    if (!r.ok()) {
        AddLog(QStringLiteral("Error."), true);
        ShowError(FileError("read", path, r), r.code);
        return;
    }
    text1_->ReplaceAll(bytes);
    RememberTextFile(path);
    AddLog(QStringLiteral("Done."), true);
}

void Form1::Save() {
    AddLog(QStringLiteral("Save file."), true);
    std::optional<QString> path = port_.SaveFileName(this, TextFileDialog(QStringLiteral("Save")));
    AddLog(QStringLiteral("Writeing file... "), false);
    if (!path) return;
    IoResult r = WriteWholeFile(LocalPath(*path), text1_->Bytes() + "\r\n");
    if (!r.ok()) {
        AddLog(QStringLiteral("Error."), true);
        ShowError(FileError("write", *path, r), r.code);
        return;
    }
    RememberTextFile(*path);
    AddLog(QStringLiteral("Done."), true);
}

}  // namespace tavrilo
