// SPDX-License-Identifier: GPL-3.0-or-later
// The text editor: holds what Windows-1252 can hold, with CR LF line ends.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tavrilo {

// Lines longer than this are shown as several blocks joined by soft breaks,
// so that layout and typing stay cheap on a one-line program of megabytes.
// A soft break is a zero-width mark (which no Windows-1252 text can hold)
// ending a block; it and the block end after it are not part of the text.
inline constexpr int kSoftLineLength = 1024;
inline constexpr char16_t kSoftMark = 0x200B;

// JoinPrevious: the edit and the one before undo as one step.
enum class Undo { NewStep, JoinPrevious };

class Editor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit Editor(QWidget* parent = nullptr);

    // The text as bytes, each line break as CR LF.
    std::string Bytes() const;
    // Replaces the whole text as one undoable edit; CR LF, lone CR and
    // lone LF each become a line break. Throws std::bad_alloc, the text
    // unchanged, when memory is short.
    void ReplaceAll(std::string_view bytes, Undo undo = Undo::NewStep);
    // Bytes().size(), from the document's counts.
    qint64 ByteSize() const;
    // Key sequences that belong to the window's menu, not to the editor.
    void SetMenuShortcuts(QList<QKeySequence> keys) { menuKeys_ = std::move(keys); }
    // Characters typed since the last call that Windows-1252 lacks (each became "?").
    qsizetype TakeTypedReplacements() { return std::exchange(typedReplaced_, 0); }

signals:
    // A local file was dropped on the editor; it is not inserted.
    void FileDropped(const QString& path);
    // A paste turned count characters that Windows-1252 lacks into "?".
    void PasteReplaced(qsizetype count);

public:
    struct Counts {
        qint64 marks = 0;       // soft marks anywhere
        qint64 softBreaks = 0;  // block ends right after a mark
    };

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
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
    void InsertTyped(const QString& text);

    QList<QKeySequence> menuKeys_;
    std::shared_ptr<Counts> counts_ = std::make_shared<Counts>();
    bool adjusting_ = false;
    qsizetype typedReplaced_ = 0;
};

// The first local file named by a drag, or an empty string.
QString DraggedFile(const QMimeData* data);

// What the editor can hold of text: every character outside Windows-1252
// becomes "?", a surrogate pair one "?" (counted in *replaced when given);
// line breaks become '\n'.
QString EditorText(const QString& text, qsizetype* replaced = nullptr);

// "N characters outside the calculator's code page were replaced by ?"
QString ReplacedMessage(qsizetype count);

// Inserts soft breaks into the lines of text (with '\n' line breaks) that
// are longer than kSoftLineLength.
QString WithSoftBreaks(const QString& text);

}  // namespace tavrilo
