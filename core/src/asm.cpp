#include "tavrilo/asm.h"

#include <string>

#include "tavrilo/file_io.h"
#include "tavrilo/layout.h"

namespace tavrilo {

bool ChkQuote(std::string_view text) { return text.find('"') != std::string_view::npos; }

namespace {

// One short line built on the stack: a prefix, a decimal number, a suffix.
class Numbered {
public:
    Numbered(std::string_view prefix, std::size_t n, std::string_view suffix = {}) {
        Put(prefix);
        char digits[24];
        int k = 0;
        do {
            digits[k++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        while (k > 0) buf_[len_++] = digits[--k];
        Put(suffix);
    }
    operator std::string_view() const { return {buf_, len_}; }

private:
    void Put(std::string_view s) {
        for (char c : s) buf_[len_++] = c;
    }
    char buf_[64];
    std::size_t len_ = 0;
};

// Where the lines go. Code sinks take Line; data sinks take Add and
// AddJoined (the concatenation of three pieces as one line). The sinks that
// drop everything let the compiler drop the work done for them.

// Through a LineSink, as code and as data.
class VirtualLines {
public:
    explicit VirtualLines(LineSink& out) : out_(out) {}
    void Line(std::string_view line) { out_.Line(line); }
    void Add(std::string_view line) { out_.Line(line); }
    void AddJoined(std::string_view a, std::string_view b, std::string_view c) {
        line_.assign(a);
        line_ += b;
        line_ += c;
        out_.Line(line_);
    }

private:
    LineSink& out_;
    std::string line_;
};

class KeptData {
public:
    explicit KeptData(LineStore& store) : store_(store) {}
    void Add(std::string_view line) { store_.Add(line); }
    void AddJoined(std::string_view a, std::string_view b, std::string_view c) {
        store_.AddJoined({a, b, c});
    }

private:
    LineStore& store_;
};

// Straight into a writer's buffer, each line ended by CR LF.
class CrLfOut {
public:
    explicit CrLfOut(BufferedWriter& out) : out_(out) {}
    void Line(std::string_view line) { out_.WriteCrLf(line); }
    void Add(std::string_view line) { out_.WriteCrLf(line); }
    void AddJoined(std::string_view a, std::string_view b, std::string_view c) {
        out_.Write(a);
        out_.Write(b);
        out_.WriteCrLf(c);
    }

private:
    BufferedWriter& out_;
};

class Dropped {
public:
    void Line(std::string_view) {}
    void Add(std::string_view) {}
    void AddJoined(std::string_view, std::string_view, std::string_view) {}
};

template <class Code, class Data>
class AsmWriter {
public:
    AsmWriter(const AsmOpts& opts, Code& out, Data& data)
        : opts_(opts), out_(out), data_(data) {}

    void Header() {
        std::string_view h = AsmHeader;
        for (std::size_t pos = 0; pos < h.size();) {
            std::size_t eol = h.find("\r\n", pos);
            out_.Line(h.substr(pos, eol - pos));
            pos = eol + 2;
        }
        out_.Line("");
    }

    void Row(std::string_view row, std::size_t rowPos) {
        FlushPageEnd(false);
        ++rowNo_;
        ShowString(0, rowPos, Numbered("\tld hl,str", rowNo_));
        AddRowData(row);
    }

    // A page end is written once it is known whether another row follows: the
    // last page of a text that ends on a full page still shows "LP".
    void PageEnd() { pageEndPending_ = true; }

    void FlushPageEnd(bool lastPage) {
        if (!pageEndPending_) return;
        pageEndPending_ = false;
        ++pageNo_;
        if (opts_.LineAbovePage) SeparatorLine();
        if (opts_.ShowPage) Footer();
        if (opts_.ShowPage && lastPage) LastPageMark();
        pageBroken_ = true;
        out_.Line("\tcall _getkey");
        if (opts_.ScrollUp) {
            if (pageNo_ >= 2) JumpBackOnUp();
            out_.Line(Numbered("jimp", pageNo_, ":"));
        }
        out_.Line("\tcall _ClrLCDFull");
    }

    // The last page: its unfinished row, footer and key wait.
    void LastPage(std::string_view row, std::size_t rowPos) {
        FlushPageEnd(false);
        ++rowNo_;
        ++pageNo_;
        ShowString(0, rowPos, Numbered("\tld hl,str", rowNo_));
        if (opts_.LineAbovePage) SeparatorLine();
        if (opts_.ShowPage) Footer();
        AddRowData(row);
        if (opts_.ShowPage) LastPageMark();
        out_.Line("\tcall _getkey");
        if (opts_.ScrollUp && pageBroken_) JumpBackOnUp();
        out_.Line("\tcall _ClrLCDFull");
    }

    void Credit() {
        FlushPageEnd(true);
        ShowString(0, 0, "\tld hl,extro");
        data_.Add("extro:");
        AddData(kAsmCredit);
        out_.Line("\tcall _getkey");
        out_.Line("\tcall _ClrLCDFull");
        out_.Line("\tret");
    }

private:
    // Draws the string whose address loadLabel puts in HL at (penRow, column).
    void ShowString(std::size_t column, std::size_t penRow, std::string_view loadLabel) {
        out_.Line(Numbered("\tld hl,", column));
        out_.Line("\tld (pencol),hl");
        out_.Line(Numbered("\tld hl,", penRow));
        out_.Line("\tld (penrow),hl");
        out_.Line(loadLabel);
        out_.Line("\tcall _vputs");
    }

    void SeparatorLine() {
        out_.Line(Numbered("\tld b,", kSeparator.x1));
        out_.Line(Numbered("\tld c,", kSeparator.y1));
        out_.Line(Numbered("\tld d,", kSeparator.x2));
        out_.Line(Numbered("\tld e,", kSeparator.y2));
        out_.Line("\tld h,1");
        out_.Line("\tcall _iline");
    }

    void Footer() {
        ShowString(0, kFooterRow, Numbered("\tld hl,S", pageNo_));
        data_.Add(Numbered("S", pageNo_, ":"));
        AddData(Numbered(kPageLabel, pageNo_));
    }

    void LastPageMark() {
        data_.Add("last:");
        AddData(kLastPageMark);
        ShowString(kLpColumn, kFooterRow, "\tld hl,last");
    }

    void JumpBackOnUp() {
        out_.Line("\tcp kUp");
        out_.Line(Numbered("\tjp z,jimp", pageNo_ - 2));
    }

    void AddRowData(std::string_view row) {
        data_.Add(Numbered("str", rowNo_, ":"));
        AddData(row);
    }

    void AddData(std::string_view text) { data_.AddJoined("\t.db \"", text, "\",0"); }

    const AsmOpts& opts_;
    Code& out_;
    Data& data_;
    std::size_t rowNo_ = 0;
    std::size_t pageNo_ = 0;
    bool pageBroken_ = false;
    bool pageEndPending_ = false;
};

// The header and the code lines to code, the data lines to data, in order.
template <class Code, class Data>
void Generate(std::string_view text, const AsmOpts& opts, Code& code, Data& data) {
    AsmWriter<Code, Data> w(opts, code, data);
    w.Header();
    LayoutEnd end = LayRows(
        text,
        [&](std::string_view row, int rowPos) { w.Row(row, static_cast<std::size_t>(rowPos)); },
        [&] { w.PageEnd(); });
    if (AsmHasLastPage(end))
        w.LastPage(end.pending, static_cast<std::size_t>(end.rowPos));
    w.Credit();
}

}  // namespace

void MakeAsm(std::string_view text, const AsmOpts& opts, LineSink& out, LineStore& data) {
    data.Clear();
    // Per row a label of at most 24 bytes and 11 around its text; per page a footer.
    const std::size_t rows = MaxRows(text);
    const std::size_t pages = rows / 8 + 1;
    data.Reserve(text.size() + rows * 35 + pages * 48 + 64, 2 * rows + 2 * pages + 4);
    VirtualLines code(out);
    KeptData kept(data);
    Generate(text, opts, code, kept);
    for (std::size_t i = 0; i < data.Count(); ++i) out.Line(data.Item(i));
    out.Line(".end");
}

void StreamAsm(std::string_view text, const AsmOpts& opts, LineSink& out) {
    VirtualLines lines(out);
    Dropped dropped;
    Generate(text, opts, lines, dropped);
    Generate(text, opts, dropped, lines);
    lines.Line(".end");
}

void StreamAsm(std::string_view text, const AsmOpts& opts, BufferedWriter& out) {
    CrLfOut lines(out);
    Dropped dropped;
    Generate(text, opts, lines, dropped);
    Generate(text, opts, dropped, lines);
    lines.Line(".end");
}

}  // namespace tavrilo
