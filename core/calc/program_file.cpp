// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/calc/program_file.h"

#include <algorithm>
#include <cstring>

namespace tavrilo {

std::string Grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
    return digits;
}

namespace {

// The file: its header, the data section of one variable, then the data
// section's 16-bit sum. Words are little-endian.
struct FileHeader {
    char signature[8];
    char marker[3];
    char comment[kCommentSize];
    std::uint8_t dataSize[2];
};
static_assert(sizeof(FileHeader) == 55);
constexpr char kMarker[3] = {'\x1A', '\x0A', '\x00'};

// The data section begins with the variable's header; version and flag are
// there only in formats that have them.
struct VarHeader {
    std::uint8_t headerSize[2];  // the bytes after this word up to the second size word
    std::uint8_t varSize[2];
    std::uint8_t type;
    char name[8];
    std::uint8_t version;
    std::uint8_t flag;  // 0: in RAM
};
static_assert(sizeof(VarHeader) == 15);
constexpr std::size_t kSizeWord = 2;

std::size_t HeaderSize(CalcKind kind) {
    return sizeof(VarHeader) - kSizeWord - (Calc(kind).file.versionAndFlag ? 0 : 2);
}

unsigned Word(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return b[0] | b[1] << 8;
}

void PutWord(std::string& out, std::size_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

bool Capital(char c) { return c >= 'A' && c <= 'Z'; }

unsigned Sum(std::string_view bytes) {
    unsigned sum = 0;
    for (unsigned char b : bytes) sum += b;
    return sum & 0xFFFF;
}

Status Bad(const std::string& why) {
    return Status::Failed("This is not a calculator program file: " + why + ".");
}

}  // namespace

bool ValidProgramName(std::string_view name) {
    if (name.empty() || name.size() > 8 || !Capital(name[0])) return false;
    for (char c : name)
        if (!Capital(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

std::size_t DataSectionSize(CalcKind kind, std::size_t tokenCount) {
    // header size word, header, second size word, the program's own size word, tokens
    return kSizeWord + HeaderSize(kind) + kSizeWord + kSizeWord + tokenCount;
}

std::string SizeAgainstLimit(CalcKind kind, std::size_t tokenCount) {
    const Calculator& c = Calc(kind);
    if (c.maxVariable != 0)
        return Grouped(tokenCount) + " bytes of tokens (" + Grouped(kSizeWord + tokenCount) + " bytes of variable data); the " +
               std::string(c.name) + " keeps at most " + Grouped(c.maxVariable) + " bytes of data in one variable, " +
               Grouped(c.maxVariable - kSizeWord) + " bytes of tokens";
    const FileFormat& f = c.file;
    const std::size_t room = f.maxData - DataSectionSize(kind, 0);
    return Grouped(tokenCount) + " bytes of tokens (" + Grouped(DataSectionSize(kind, tokenCount)) +
           " bytes of file data); the " + std::string(f.extension) + " format holds at most " + Grouped(f.maxData) +
           " bytes of file data, " + Grouped(room) + " bytes of tokens";
}

Status CheckSize(CalcKind kind, std::size_t tokenCount) {
    const Calculator& c = Calc(kind);
    if (DataSectionSize(kind, tokenCount) <= c.file.maxData &&
        (c.maxVariable == 0 || kSizeWord + tokenCount <= c.maxVariable))
        return {};
    return Status::Failed("the program is " + SizeAgainstLimit(kind, tokenCount));
}

Status EncodeProgramFile(const ProgramVar& var, std::string_view comment, std::string& file) {
    if (!ValidProgramName(var.name)) return Status::Failed(std::string(kNameRule));
    if (Status size = CheckSize(var.calc, var.tokens.size()); !size.ok()) return size;
    const Calculator& calc = Calc(var.calc);
    const std::size_t varSize = kSizeWord + var.tokens.size();

    VarHeader head{};
    head.headerSize[0] = static_cast<std::uint8_t>(HeaderSize(var.calc));
    head.varSize[0] = static_cast<std::uint8_t>(varSize & 0xFF);
    head.varSize[1] = static_cast<std::uint8_t>(varSize >> 8);
    head.type = var.type;
    std::memcpy(head.name, var.name.data(), var.name.size());
    head.version = var.version;
    std::string data(reinterpret_cast<const char*>(&head), kSizeWord + HeaderSize(var.calc));
    PutWord(data, varSize);
    PutWord(data, var.tokens.size());
    data.append(var.tokens);

    FileHeader fh{};
    std::memcpy(fh.signature, calc.file.signature.data(), sizeof fh.signature);
    std::memcpy(fh.marker, kMarker, sizeof kMarker);
    comment = comment.substr(0, kCommentSize);
    std::memcpy(fh.comment, comment.data(), comment.size());
    fh.dataSize[0] = static_cast<std::uint8_t>(data.size() & 0xFF);
    fh.dataSize[1] = static_cast<std::uint8_t>(data.size() >> 8);

    std::string out;
    out.reserve(sizeof fh + data.size() + kSizeWord);
    out.append(reinterpret_cast<const char*>(&fh), sizeof fh);
    out += data;
    PutWord(out, Sum(data));
    file = std::move(out);
    return {};
}

Status DecodeProgramFile(std::string_view b, ProgramVar& var) {
    FileHeader fh;
    if (b.size() < sizeof fh + kSizeWord) return Bad("it is too short");
    std::memcpy(&fh, b.data(), sizeof fh);
    const Calculator* calc = CalcBySignature(std::string_view(fh.signature, sizeof fh.signature));
    if (!calc || std::memcmp(fh.marker, kMarker, sizeof kMarker) != 0)
        return Bad("it does not begin as a .83p or .8xp file does");
    const std::size_t section = Word(fh.dataSize);
    if (b.size() != sizeof fh + section + kSizeWord) return Bad("its length does not match the size it gives");
    const std::string_view data = b.substr(sizeof fh, section);
    if (Sum(data) != Word(b.data() + sizeof fh + section)) return Bad("its checksum is wrong");

    // A header of 11 bytes, or 13 where the format has version and flag.
    VarHeader head{};
    const std::size_t headSize = data.size() >= kSizeWord ? Word(data.data()) : 0;
    const bool known = headSize == HeaderSize(CalcKind::Ti83) ||
                       (calc->file.versionAndFlag && headSize == HeaderSize(calc->kind));
    if (!known || section < kSizeWord + headSize + kSizeWord) return Bad("its variable header is damaged");
    std::memcpy(&head, data.data(), kSizeWord + headSize);
    const std::size_t size = Word(head.varSize);
    const std::size_t dataAt = kSizeWord + headSize + kSizeWord;
    if (Word(data.data() + dataAt - kSizeWord) != size || dataAt + size != section)
        return Bad("it holds more than one variable, or its sizes disagree");
    if (head.type != kProgramType && head.type != kProtectedProgramType) return Bad("its variable is not a program");
    std::string_view name(head.name, sizeof head.name);
    name = name.substr(0, name.find('\0'));
    if (name.empty()) return Bad("its program has no name");
    // A program's data begins with the size of what follows it.
    if (size < kSizeWord || Word(data.data() + dataAt) != size - kSizeWord) return Bad("its program's own size is wrong");

    var.version = headSize == HeaderSize(CalcKind::Ti83) ? 0 : head.version;
    var.calc = CalcBySignature(std::string_view(fh.signature, sizeof fh.signature), var.version)->kind;
    var.name = std::string(name);
    var.type = head.type;
    var.tokens = std::string(data.substr(dataAt + kSizeWord));
    return {};
}

std::size_t LargestProgramFile() {
    std::size_t most = 0;
    for (const Calculator& c : kCalculators) most = std::max(most, c.file.maxData);
    return sizeof(FileHeader) + most + kSizeWord;
}

std::size_t BytesNeeded(const ProgramVar& var) {
    // The data with its size word; the table entry: type, two flag bytes, address, page, name length, name.
    return kSizeWord + var.tokens.size() + 7 + var.name.size();
}

}  // namespace tavrilo
