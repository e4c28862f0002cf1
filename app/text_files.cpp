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
#include "tavrilo/import/document.h"
#include "tavrilo/system/file_io.h"

namespace tavrilo {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;
constexpr std::uint64_t kMaxOpenMiB = 64;
// A document holds far more than its text: pictures, fonts, packing.
constexpr std::uint64_t kMaxDocumentMiB = 512;

FileDialogRequest TextFileDialog(const QString& title) {
    return FileDialogRequest{title, QStringLiteral("noname"), QStringLiteral("Text file"),
                          QStringLiteral("*.txt")};
}

// The editor's text of a file: a text in the encoding its bytes say, or the
// text of a document.
Status ReadText(const QString& path, DocumentKind kind, QString& text, TextEncoding& encoding) {
    const std::uint64_t maxMiB = kind == DocumentKind::Text ? kMaxOpenMiB : kMaxDocumentMiB;
    std::string bytes;
    std::uint64_t size = 0;
    Status r = ReadRegularFile(LocalPath(path), maxMiB * kMiB, bytes, size);
    if (!r.ok()) {
        if (r.code == EFBIG)
            r.message = QStringLiteral("it is %1 MiB; Tavrilo opens %2 up to %3 MiB")
                            .arg((size + kMiB - 1) / kMiB)
                            .arg(kind == DocumentKind::Text ? QStringLiteral("texts") : QStringLiteral("documents"))
                            .arg(maxMiB)
                            .toStdString();
        return r;
    }
    if (kind == DocumentKind::Text) {
        DecodedText decoded = DecodeText(bytes);
        encoding = decoded.encoding;
        text = QString::fromStdString(decoded.utf8);
        return r;
    }
    std::string utf8;
    r = Import(kind, bytes, utf8);
    if (r.ok()) text = QString::fromStdString(utf8);
    encoding = TextEncoding::Utf8;  // a new text
    return r;
}

}  // namespace

void Form1::Open() {
    AddLog(QStringLiteral("Open file. "), true);
    FileDialogRequest request = TextFileDialog(QString());
    request.moreFilters = {QStringLiteral("PDF document (*.pdf)"), QStringLiteral("EPUB e-book (*.epub)"),
                           QStringLiteral("Word document (*.docx)"), QStringLiteral("OpenDocument text (*.odt)")};
    std::optional<QString> path = port_.OpenFileName(this, request);
    if (!path) {
        AddLog(QStringLiteral("Cancel by user..."), true);
        return;
    }
    OpenPath(*path);
}

void Form1::OpenPath(const QString& path) {
    AddLog(QStringLiteral("Reading file... "), false);
    const DocumentKind kind = KindOfName(LocalPath(path));
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
    Status r;
    try {
        r = ReadText(path, kind, text, encoding);
        if (r.ok()) text1_->ReplaceAllText(text);
    } catch (const std::bad_alloc&) {
        r = Status::FromErrno(ENOMEM);
    }
    if (!r.ok()) {
        EndFailed(FileError("read", path, r), r.code, ErrorCaption::Keep);
        return;
    }
    textEncoding_ = encoding;
    // A document's text is a new, unsaved text, which Save writes to a text
    // file of its own; the document's name still names the program and the folder.
    RememberTextFile(path);
    if (kind == DocumentKind::Text) MarkTextUnchanged();
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
    if (KindOfName(LocalPath(*path)) != DocumentKind::Text) {
        EndFailed(QStringLiteral("cannot write '%1': Tavrilo saves texts as text files, never over a PDF, EPUB, Word or OpenDocument file")
                      .arg(*path),
                  EINVAL, ErrorCaption::Keep);
        return;
    }
    Status r;
    TextEncoding encoding = textEncoding_;
    try {
        std::string text = text1_->Utf8();
        text += "\r\n";
        if (encoding == TextEncoding::Windows1252 && !FitsCp1252(text)) {
            if (!AskYes(port_, this,
                        QStringLiteral("The text holds characters that Windows-1252, the encoding its file was read "
                                       "in, cannot store.\rSave it as UTF-8?"),
                        QStringLiteral("Save"), Answer::Yes)) {
                AddLog(QStringLiteral("Cancel by user..."), true);
                return;
            }
            encoding = TextEncoding::Utf8;
        }
        if (encoding != TextEncoding::Utf8) text = EncodeText(text, encoding);
        r = WriteWholeFile(LocalPath(*path), text);
    } catch (const std::bad_alloc&) {
        r = Status::FromErrno(ENOMEM);
    }
    if (!r.ok()) {
        EndFailed(FileError("write", *path, r), r.code, ErrorCaption::Keep);
        return;
    }
    textEncoding_ = encoding;
    RememberTextFile(*path);
    MarkTextUnchanged();
    AddLog(QStringLiteral("Done."), true);
}

}  // namespace tavrilo
