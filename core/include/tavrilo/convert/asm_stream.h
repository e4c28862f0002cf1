// SPDX-License-Identifier: GPL-3.0-or-later
// The assembly source generated straight into any line output, without a
// virtual call per line. An output has Line(line) and Joined(a, b, c), the
// line a + b + c; the generator calls them in the order of the source.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tavrilo/convert/asm.h"
#include "tavrilo/convert/layout.h"

namespace tavrilo {
namespace asm_detail {

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

// Takes every line and keeps none.
class Dropped {
public:
    void Line(std::string_view) {}
    void Joined(std::string_view, std::string_view, std::string_view) {}
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
        data_.Line("extro:");
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
        data_.Line(Numbered("S", pageNo_, ":"));
        AddData(Numbered(kPageLabel, pageNo_));
    }

    void LastPageMark() {
        data_.Line("last:");
        AddData(kLastPageMark);
        ShowString(kLpColumn, kFooterRow, "\tld hl,last");
    }

    void JumpBackOnUp() {
        out_.Line("\tcp kUp");
        out_.Line(Numbered("\tjp z,jimp", pageNo_ - 2));
    }

    void AddRowData(std::string_view row) {
        data_.Line(Numbered("str", rowNo_, ":"));
        AddData(row);
    }

    void AddData(std::string_view text) { data_.Joined("\t.db \"", text, "\",0"); }

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

}  // namespace asm_detail

// The whole source into out: the text is laid out twice, once for the code
// lines and once for the data lines, so nothing is kept.
template <class Out>
void StreamAsmTo(std::string_view text, const AsmOpts& opts, Out& out) {
    asm_detail::Dropped dropped;
    asm_detail::Generate(text, opts, out, dropped);
    asm_detail::Generate(text, opts, dropped, out);
    out.Line(".end");
}

}  // namespace tavrilo
