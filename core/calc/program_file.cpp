// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/program_file.h"

#include "tavrilo/calc/ce_program.h"

namespace tavrilo {

std::string Grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
    return digits;
}

namespace {

std::size_t EntryHeaderLength(CalcKind kind) { return kind == CalcKind::Ti83 ? 0x0B : 0x0D; }

void PutWord(std::string& out, std::size_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

bool Capital(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

bool ValidProgramName(std::string_view name) {
    if (name.empty() || name.size() > 8 || !Capital(name[0])) return false;
    for (char c : name)
        if (!Capital(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

std::size_t DataSectionSize(CalcKind kind, std::size_t tokenCount) {
    // header length word, header, data length word, token count word, tokens
    return 2 + EntryHeaderLength(kind) + 2 + 2 + tokenCount;
}

std::string SizeAgainstLimit(CalcKind kind, std::size_t tokenCount) {
    if (kind == CalcKind::Ti84PlusCe)
        return Grouped(tokenCount) + " bytes of tokens (" + Grouped(2 + tokenCount) +
               " bytes of variable data); the TI-84 Plus CE keeps at most " + Grouped(kCeMaxVariableData) +
               " bytes of data in one variable, " + Grouped(kCeMaxVariableData - 2) + " bytes of tokens";
    const std::size_t room = kMaxDataSection - DataSectionSize(kind, 0);
    return std::to_string(tokenCount) + " bytes of tokens (" + std::to_string(DataSectionSize(kind, tokenCount)) +
           " bytes of file data); the " + (kind == CalcKind::Ti83 ? ".83p" : ".8xp") + " format holds at most " +
           std::to_string(kMaxDataSection) + " bytes of file data, " + std::to_string(room) + " bytes of tokens";
}

std::string SizeProblem(CalcKind kind, std::size_t tokenCount) {
    const bool fits = kind == CalcKind::Ti84PlusCe ? 2 + tokenCount <= kCeMaxVariableData
                                                   : DataSectionSize(kind, tokenCount) <= kMaxDataSection;
    if (fits) return {};
    return "the program is " + SizeAgainstLimit(kind, tokenCount);
}

Status ProgramFile(CalcKind kind, std::string_view name, std::string_view tokens, std::string_view comment,
                   std::string& file, unsigned char type) {
    if (!ValidProgramName(name)) return Status::Failed(std::string(kNameRule));
    std::string tooLarge = SizeProblem(kind, tokens.size());
    if (!tooLarge.empty()) return Status::Failed(std::move(tooLarge));
    const std::size_t varLength = 2 + tokens.size();

    std::string data;
    data.reserve(DataSectionSize(kind, tokens.size()));
    PutWord(data, EntryHeaderLength(kind));
    PutWord(data, varLength);
    data.push_back(static_cast<char>(type));
    data.append(name);
    data.append(8 - name.size(), '\0');
    if (kind != CalcKind::Ti83) {
        data.push_back(static_cast<char>(kind == CalcKind::Ti84PlusCe ? CeVersionByte(tokens) : 0));  // version
        data.push_back('\0');  // flag: in RAM, not archived
    }
    PutWord(data, varLength);
    PutWord(data, tokens.size());
    data.append(tokens);

    std::string out(kind == CalcKind::Ti83 ? "**TI83**" : "**TI83F*");
    out.append("\x1A\x0A\x00", 3);
    comment = comment.substr(0, kCommentSize);
    out.append(comment);
    out.append(kCommentSize - comment.size(), '\0');
    PutWord(out, data.size());
    out += data;
    unsigned sum = 0;
    for (unsigned char b : data) sum += b;
    PutWord(out, sum & 0xFFFF);
    file = std::move(out);
    return {};
}

}  // namespace tavrilo
