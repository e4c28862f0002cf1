// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small PDF documents and EPUB e-books, made in memory.
#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace tavrilo::test {

// A PDF whose pages each show their lines in Helvetica; a page without lines is blank.
inline std::string MakePdf(const std::vector<std::vector<std::string>>& pages) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    const auto add = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    std::string kids;
    for (std::size_t i = 0; i < pages.size(); ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
    add("<< /Type /Catalog /Pages 2 0 R >>");
    add("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    for (const std::vector<std::string>& lines : pages) {
        std::string content;
        for (const std::string& line : lines) content += (content.empty() ? "" : " T* ") + ("(" + line + ") Tj");
        if (!content.empty()) content = "BT /F1 12 Tf 16 TL 72 720 Td " + content + " ET";
        add("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
            "/Contents " +
            std::to_string(offsets.size() + 2) + " 0 R >>");
        add("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t at : offsets) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", at);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// A zip archive of the files, by name and content.
inline std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string out(1 << 20, '\0');
    std::size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, out.data(), out.size(), &used);
    for (const auto& [name, content] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(content.size()));
        archive_write_header(a, e);
        archive_write_data(a, content.data(), content.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

// An e-book of the chapters (XHTML bodies), read in the order given, though
// the manifest lists them the other way round; the spine lists each listings
// times; each chapter declares encoding (none: ""), and has the document type doctype.
inline std::string MakeEpub(const std::vector<std::string>& bodies, int listings = 1,
                            const std::string& encoding = "utf-8", const std::string& doctype = "") {
    std::vector<std::pair<std::string, std::string>> files = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml",
         "<?xml version=\"1.0\"?><container version=\"1.0\" "
         "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles><rootfile "
         "full-path=\"OEBPS/book.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles></container>"}};
    std::string manifest, spine;
    for (std::size_t i = bodies.size(); i-- > 0;) {
        const std::string id = "c" + std::to_string(i);
        manifest += "<item id=\"" + id + "\" href=\"text/" + id + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
        for (int n = 0; n < listings; ++n) spine = "<itemref idref=\"" + id + "\"/>" + spine;
        files.emplace_back("OEBPS/text/" + id + ".xhtml",
                           "<?xml version=\"1.0\"" + (encoding.empty() ? "" : " encoding=\"" + encoding + "\"") + "?>" + doctype + "<html xmlns=\"http://www.w3.org/1999/xhtml\">"
                           "<head><title>Not read</title></head><body>" +
                               bodies[i] + "</body></html>");
    }
    files.emplace_back("OEBPS/book.opf",
                       "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\">"
                       "<manifest>" + manifest + "</manifest><spine>" + spine + "</spine></package>");
    return MakeZip(files);
}

}  // namespace tavrilo::test
