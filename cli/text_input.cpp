// SPDX-License-Identifier: GPL-3.0-or-later
// FILE and how tavrilo-convert reads it.
#include "commands.h"
#include "io.h"
#include "modules.h"
#include "tavrilo/convert/text_file.h"
#include "tavrilo/import/document.h"

namespace tavrilo::cli {

void TextInput::AddTo(CLI::App* command) {
    command->add_option("FILE", file);
    CLI::Option* rawFlag = command->add_flag("--raw", raw, "take the text's bytes as they are (see below)");
    CLI::Option* encodingOption =
        command
            ->add_option("--encoding", encoding,
                         "read a text file as auto (the default: UTF-8 when it is, else Windows-1252), "
                         "utf-8 or windows-1252")
            ->type_name("ENC");
    CLI::Option* fromOption =
        command
            ->add_option("--from", from,
                         "take FILE as a pdf document, an epub e-book, a docx (Word) document, an odt "
                         "(OpenDocument) text or a plain text (the default: by its name)")
            ->type_name("KIND");
    rawFlag->excludes(encodingOption);
    rawFlag->excludes(fromOption);
}

int TextInput::Check() const {
    if (const int bad = OneOf("--encoding", encoding, {"auto", "utf-8", "windows-1252"})) return bad;
    if (!from.empty()) return OneOf("--from", from, {"pdf", "epub", "docx", "odt", "text"});
    return 0;
}

Status TextInput::Read(std::string& text, char lacking) const {
    Status r = ReadInput(file, text);
    if (!r.ok() || raw) return r;
    const DocumentKind kind = from.empty()     ? KindOfName(file)
                              : from == "pdf"  ? DocumentKind::Pdf
                              : from == "epub" ? DocumentKind::Epub
                              : from == "docx" ? DocumentKind::Docx
                              : from == "odt"  ? DocumentKind::Odt
                                               : DocumentKind::Text;
    std::size_t replaced = 0;
    if (kind == DocumentKind::Text) {
        const EncodingChoice choice = encoding == "utf-8"          ? EncodingChoice::Utf8
                                      : encoding == "windows-1252" ? EncodingChoice::Windows1252
                                                                   : EncodingChoice::Auto;
        ToCalculatorText(text, choice, replaced, lacking);
    } else {
        std::string utf8;
        r = ImportDocumentText(kind, text, utf8);
        if (!r.ok()) return r;
        text = Utf8ToCp1252(utf8, replaced, lacking);
    }
    LineEndsToCrLf(text);
    // What is left out is counted where it is left out.
    if (replaced > 0 && lacking == kReplaced) Err(ReplacedMessage(replaced));
    return r;
}

}  // namespace tavrilo::cli
