// SPDX-License-Identifier: GPL-3.0-or-later
// The text editor: holds any character, with CR LF line ends.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <cstddef>
#include <memory>
#include <string>

#include "tavrilo/convert/text_file.h"
#include <string_view>
#include <utility>

namespace tavrilo {

// Lines longer than this are shown as several blocks joined by soft breaks,
// so that layout and typing stay cheap on a one-line program of megabytes.
// A soft break is a mark ending a block; it and the block end after it are
// not part of the text. The mark is a reserved character that the text
// renderer draws as nothing and no text holds: one in a text the editor is
// given becomes U+FFFD.
inline constexpr int kSoftLineLength = 1024;
inline constexpr char16_t kSoftMark = 0xFFF0;

// JoinPrevious: the edit and the one before undo as one step.
enum class Undo { NewStep, JoinPrevious };

class Editor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit Editor(QWidget* parent = nullptr);

    // The text in Windows-1252 as the conversion takes it, each line break as
    // CR LF; a character the code page lacks is counted in *replaced when
    // given (see Utf8ToCp1252).
    std::string Bytes(std::size_t* replaced = nullptr, char lacking = kReplaced) const;
    // The text in UTF-8, each line break as CR LF.
    std::string Utf8() const;
    // Replaces the whole text as one undoable edit; CR LF, lone CR and
    // lone LF each become a line break. Throws std::bad_alloc, the text
    // unchanged, when memory is short. ReplaceAll takes Windows-1252 bytes.
    void ReplaceAll(std::string_view bytes, Undo undo = Undo::NewStep);
    void ReplaceAllText(const QString& text, Undo undo = Undo::NewStep);
    // Bytes().size(), from the document's counts.
    qint64 ByteSize() const;
    // Key sequences that belong to the window's menu, not to the editor.
    void SetMenuShortcuts(QList<QKeySequence> keys) { menuKeys_ = std::move(keys); }

signals:
    // A local file was dropped on the editor; it is not inserted.
    void FileDropped(const QString& path);

public:
    struct Counts {
        qint64 marks = 0;       // soft marks anywhere
        qint64 softBreaks = 0;  // block ends right after a mark
        qint64 pairs = 0;       // surrogate pairs, one character of two units
    };

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void Recount(int position, int added);
    void KeepCaretBeforeMark();
    QChar CharAt(int position) const;

    QList<QKeySequence> menuKeys_;
    std::shared_ptr<Counts> counts_ = std::make_shared<Counts>();
    bool adjusting_ = false;
};

// The first local file named by a drag, or an empty string.
QString DraggedFile(const QMimeData* data);

// text as the editor holds it: line breaks become '\n', a soft mark U+FFFD.
QString EditorText(const QString& text);

// Inserts soft breaks into the lines of text (with '\n' line breaks) that
// are longer than kSoftLineLength.
QString WithSoftBreaks(const QString& text);

}  // namespace tavrilo
