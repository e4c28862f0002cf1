// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

#include <sys/mman.h>

#include <new>

#include "cp1252.h"
#include "tavrilo/convert/text_file.h"

namespace tavrilo {
namespace {

constexpr char16_t kParagraph = 0x2029;
constexpr char16_t kLineSeparator = 0x2028;
constexpr std::size_t kCharCopies = 4;
constexpr std::size_t kBytesPerBlock = 512;

// Remembers what a block adds to the counts and takes it back when Qt deletes
// the block.
class BlockCounts : public QTextBlockUserData {
public:
    BlockCounts(std::shared_ptr<Editor::Counts> totals, qint64 marks, bool soft, qint64 pairs)
        : totals_(std::move(totals)), marks_(marks), soft_(soft), pairs_(pairs) {
        totals_->marks += marks_;
        totals_->softBreaks += soft_;
        totals_->pairs += pairs_;
    }
    ~BlockCounts() override {
        totals_->marks -= marks_;
        totals_->softBreaks -= soft_;
        totals_->pairs -= pairs_;
    }

private:
    std::shared_ptr<Editor::Counts> totals_;
    qint64 marks_;
    bool soft_;
    qint64 pairs_;
};

// Whether the address space has room for bytes more, asked without touching
// any page. The toolkit cannot survive running out of memory part way through
// an edit, so an edit that may not fit is refused before it starts.
bool HasRoomFor(std::size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    ::munmap(p, bytes);
    return true;
}

// What the document may take to insert text: the text twice over in its
// buffer (which grows by copying) and in the undo record, and each block's
// own records.
std::size_t RoomToInsert(const QString& text) {
    const auto chars = static_cast<std::size_t>(text.size());
    const auto blocks = static_cast<std::size_t>(text.count(QLatin1Char('\n'))) + 1;
    return chars * sizeof(QChar) * kCharCopies + blocks * kBytesPerBlock;
}

}  // namespace

QString EditorText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
        } else if (c == kParagraph || c == kLineSeparator) {
            out += QLatin1Char('\n');
        } else if (c == QChar(kSoftMark)) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

QString WithSoftBreaks(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / kSoftLineLength * 2 + 2);
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != QLatin1Char('\n')) continue;
        qsizetype pos = lineStart;
        while (i - pos > kSoftLineLength) {
            // Prefer to break after a colon or blank near the end of the piece.
            qsizetype cut = pos + kSoftLineLength;
            for (qsizetype k = cut; k > cut - 64; --k) {
                if (text[k - 1] == QLatin1Char(':') || text[k - 1] == QLatin1Char(' ')) {
                    cut = k;
                    break;
                }
            }
            out += QStringView(text).mid(pos, cut - pos);
            out += QChar(kSoftMark);
            out += QLatin1Char('\n');
            pos = cut;
        }
        out += QStringView(text).mid(pos, i - pos);
        if (i < text.size()) out += QLatin1Char('\n');
        lineStart = i + 1;
    }
    return out;
}

Editor::Editor(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { Recount(position, added); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &Editor::KeepCaretBeforeMark);
}

void Editor::Recount(int position, int added) {
    QTextDocument* doc = document();
    QTextBlock block = doc->findBlock(position);
    // The block before may have lost or gained the block after its mark.
    if (block.previous().isValid()) block = block.previous();
    QTextBlock last = doc->findBlock(position + added);
    if (!last.isValid()) last = doc->lastBlock();
    for (;; block = block.next()) {
        const QString text = block.text();
        qint64 marks = 0, pairs = 0;
        for (const QChar c : text) {
            marks += c == QChar(kSoftMark);
            pairs += c.isLowSurrogate();
        }
        bool soft = text.endsWith(QChar(kSoftMark)) && block.next().isValid();
        block.setUserData(marks == 0 && pairs == 0 && !soft ? nullptr
                                                           : new BlockCounts(counts_, marks, soft, pairs));
        if (block == last || !block.next().isValid()) break;
    }
}

qint64 Editor::ByteSize() const {
    const QTextDocument* doc = document();
    qint64 chars = doc->characterCount() - 1;
    qint64 breaks = doc->blockCount() - 1;
    // Marks count nothing, a hard break two bytes, a soft break none, a
    // surrogate pair one.
    return chars - counts_->marks + breaks - 2 * counts_->softBreaks - counts_->pairs;
}

namespace {

// The editor's raw text as the bytes of a file: ASCII as it is, each line
// break as CR LF, soft breaks left out; every other character through
// other(p, end, out), which may step p over a surrogate pair.
template <class Other>
std::string TextBytes(const QString& raw, int blocks, Other other) {
    std::string out;
    out.reserve(static_cast<std::size_t>(raw.size()) + static_cast<std::size_t>(blocks));
    const QChar* p = raw.constData();
    const QChar* end = p + raw.size();
    for (; p < end; ++p) {
        const char16_t u = p->unicode();
        if (u < 0x80 && u != '\n') {
            out += static_cast<char>(u);
        } else if (u == kSoftMark) {
            if (p + 1 < end && p[1].unicode() == kParagraph) ++p;
        } else if (u == kParagraph || u == '\n') {
            out += "\r\n";
        } else {
            other(p, end, out);
        }
    }
    return out;
}

}  // namespace

std::string Editor::Bytes(std::size_t* replaced, char lacking) const {
    std::size_t missing = 0;
    std::string out = TextBytes(document()->toRawText(), document()->blockCount(),
                                [&](const QChar*& p, const QChar* end, std::string& to) {
                                    char32_t c = p->unicode();
                                    if (p->isHighSurrogate() && p + 1 < end && p[1].isLowSurrogate()) {
                                        c = QChar::surrogateToUcs4(p[0], p[1]);
                                        ++p;
                                    }
                                    const int b = CalculatorByte(c);
                                    missing += b < 0;
                                    to += b < 0 ? lacking : static_cast<char>(b);
                                });
    if (replaced) *replaced += missing;
    return out;
}

std::string Editor::Utf8() const {
    return TextBytes(document()->toRawText(), document()->blockCount(),
                     [](const QChar*& p, const QChar* end, std::string& to) {
                         // A surrogate pair, or a lone surrogate as U+FFFD, as QString::toUtf8 writes it.
                         const QChar* from = p;
                         if (p->isHighSurrogate() && p + 1 < end && p[1].isLowSurrogate()) ++p;
                         const QByteArray bytes = QStringView(from, p + 1).toUtf8();
                         to.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
                     });
}

void Editor::ReplaceAll(std::string_view bytes, Undo undo) { ReplaceAllText(FromCp1252(bytes), undo); }

void Editor::ReplaceAllText(const QString& editorText, Undo undo) {
    const QString text = WithSoftBreaks(EditorText(editorText));
    if (!HasRoomFor(RoomToInsert(text))) throw std::bad_alloc();
    QTextCursor cursor(document());
    if (undo == Undo::JoinPrevious)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
}

QChar Editor::CharAt(int position) const {
    if (position < 0 || position >= document()->characterCount()) return QChar();
    return document()->characterAt(position);
}

void Editor::KeepCaretBeforeMark() {
    QTextCursor c = textCursor();
    if (adjusting_ || c.hasSelection() || CharAt(c.position() - 1) != QChar(kSoftMark)) return;
    adjusting_ = true;
    c.setPosition(c.position() - 1);
    setTextCursor(c);
    adjusting_ = false;
}

bool Editor::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        QKeySequence pressed(key->keyCombination());
        if (menuKeys_.contains(pressed)) {
            e->ignore();  // let the menu have it
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

void Editor::keyPressEvent(QKeyEvent* e) {
    // Alt with a letter or digit is a command, never typing (AltGr is no Alt here).
    const QString typed = e->text();
    if ((e->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == Qt::AltModifier && typed.size() == 1 &&
        typed[0].unicode() < 0x80 && typed[0].isLetterOrNumber()) {
        e->ignore();
        return;
    }
    QTextCursor c = textCursor();
    const bool plain = !c.hasSelection() && e->modifiers() == Qt::NoModifier;
    const int pos = c.position();
    const bool beforeMark = CharAt(pos) == QChar(kSoftMark);
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        c.insertBlock();  // Shift+Enter too: always a plain line break
        setTextCursor(c);
        return;
    }
    if (plain && beforeMark && e->key() == Qt::Key_Right) {
        c.setPosition(pos + 2);
        setTextCursor(c);
        return;
    }
    if (plain && beforeMark && e->key() == Qt::Key_Delete) {
        c.setPosition(pos + 2);
        c.deleteChar();
        setTextCursor(c);
        return;
    }
    if (plain && e->key() == Qt::Key_Backspace && pos >= 2 && CharAt(pos - 1) == QChar(kParagraph) &&
        CharAt(pos - 2) == QChar(kSoftMark)) {
        c.setPosition(pos - 2);
        c.deletePreviousChar();
        setTextCursor(c);
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void Editor::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) return;
    QString text;
    try {
        text = WithSoftBreaks(EditorText(source->text()));
        if (!HasRoomFor(RoomToInsert(text))) throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        QApplication::beep();  // a paste or drop too large for memory leaves the text as it is
        return;
    }
    QTextCursor c = textCursor();
    c.insertText(text);
    setTextCursor(c);
}

QMimeData* Editor::createMimeDataFromSelection() const {
    QString text = textCursor().selectedText();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar ch = text[i];
        if (ch == QChar(kSoftMark)) {
            if (i + 1 < text.size() && text[i + 1] == QChar(kParagraph)) ++i;
        } else {
            out += ch == QChar(kParagraph) ? QChar('\n') : ch;
        }
    }
    auto* mime = new QMimeData;
    mime->setText(out);
    return mime;
}

QString DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return QString();
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return QString();
}

// A dragged file is taken as a copy, so that the source never deletes it
// after a move.
void Editor::dragEnterEvent(QDragEnterEvent* e) {
    if (DraggedFile(e->mimeData()).isEmpty()) return QPlainTextEdit::dragEnterEvent(e);
    e->setDropAction(Qt::CopyAction);
    e->accept();
}

void Editor::dragMoveEvent(QDragMoveEvent* e) {
    if (DraggedFile(e->mimeData()).isEmpty()) return QPlainTextEdit::dragMoveEvent(e);
    e->setDropAction(Qt::CopyAction);
    e->accept();
}

void Editor::dropEvent(QDropEvent* e) {
    const QString path = DraggedFile(e->mimeData());
    if (path.isEmpty()) return QPlainTextEdit::dropEvent(e);
    e->setDropAction(Qt::CopyAction);
    e->accept();
    emit FileDropped(path);
}

// Ctrl+X and Ctrl+C belong to the menu: the context menu names the other keys of Cut and Copy.
void Editor::contextMenuEvent(QContextMenuEvent* e) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu(e->pos()));
    for (QAction* a : menu->actions()) {
        if (a->objectName() == QLatin1String("edit-cut")) a->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
        if (a->objectName() == QLatin1String("edit-copy")) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    }
    menu->exec(e->globalPos());
}

}  // namespace tavrilo
