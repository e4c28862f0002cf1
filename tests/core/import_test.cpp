// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "documents.h"
#include "tavrilo/import/document.h"

namespace tavrilo {
namespace {

TEST(ImportPdf, TakesThePagesTextInOrder) {
    std::string text;
    const Status r = ImportPdf(test::MakePdf({{"First line", "second line"}, {}, {"Page three"}}), text);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(text, "First line\nsecond line\n\nPage three\n");
}

TEST(ImportPdf, SaysWhyItTakesNothing) {
    std::string text = "kept";
    EXPECT_EQ(ImportPdf(test::MakePdf({{}, {}}), text).message,
              "it has no text: its pages are pictures only, as scanned pages are");
    const std::string pdf = test::MakePdf({{"Cut short"}});
    EXPECT_EQ(ImportPdf(pdf.substr(0, 40), text).message, "it is not a PDF document that can be read");
    EXPECT_EQ(text, "kept");
}

TEST(ImportEpub, TakesTheChaptersInReadingOrderAsLines) {
    std::string text;
    const Status r = ImportEpub(test::MakeEpub({"<h1>One</h1><p>A  <i>first</i>\n paragraph &amp; more.</p>",
                                                "<div><p>Two</p><p>lines<br/>broken</p></div>"
                                                "<script>no()</script>"}),
                                text);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(text, "One\nA first paragraph & more.\n\nTwo\nlines\nbroken\n");
    ASSERT_TRUE(ImportEpub(test::MakeEpub({"<p>M.&#160;Dupont&#8239;: 1&#8201;000</p>"}), text).ok());
    EXPECT_EQ(text, "M. Dupont : 1 000\n");  // typographic spaces are spaces
}

// A listing never multiplies the book.
TEST(ImportEpub, AChapterTheSpineListsTwiceIsTakenOnce) {
    std::string text;
    ASSERT_TRUE(ImportEpub(test::MakeEpub({"<p>Once</p>"}, 2), text).ok());
    EXPECT_EQ(text, "Once\n");
}

TEST(ImportEpub, AChapterInAnotherEncodingIsReadInIt) {
    std::string text;
    ASSERT_TRUE(ImportEpub(test::MakeEpub({"<p>Caf\xE9</p>"}, 1, "ISO-8859-1"), text).ok());
    EXPECT_EQ(text, "Caf\u00e9\n");
    // Text that speaks of an encoding declares none.
    ASSERT_TRUE(ImportEpub(test::MakeEpub({"<p>open(f, encoding=\"cp1252\") Caf\u00e9</p>"}, 1, ""), text).ok());
    EXPECT_EQ(text, "open(f, encoding=\"cp1252\") Caf\u00e9\n");
}

TEST(ImportEpub, AChaptersOwnDeclarationsAreNotText) {
    std::string text;
    ASSERT_TRUE(ImportEpub(test::MakeEpub({"<p>Body</p>"}, 1, "utf-8",
                                          "<!DOCTYPE html [<!ENTITY a \"a]a\"><!ENTITY b \"&a;&a;\">]>"),
                           text).ok());
    EXPECT_EQ(text, "Body\n");
}

TEST(ImportEpub, SaysWhyItTakesNothing) {
    std::string text = "kept";
    EXPECT_EQ(ImportEpub("PK\x03\x04 broken", text).message, "it is not an EPUB e-book that can be read");
    EXPECT_EQ(ImportEpub(test::MakeZip({{"mimetype", "application/epub+zip"}}), text).message,
              "it is not an EPUB e-book that can be read");
    EXPECT_EQ(ImportEpub(test::MakeEpub({"<p> </p>"}), text).message, "it has no text");
    EXPECT_EQ(text, "kept");
}

TEST(ImportDocx, TakesTheParagraphsAsLines) {
    const std::string body =
        "<w:p><w:pPr><w:tabs><w:tab w:pos=\"720\"/></w:tabs></w:pPr><w:r><w:t>One</w:t><w:tab/>"
        "<w:t xml:space=\"preserve\">two  </w:t></w:r><w:del><w:r><w:tab/><w:delText>gone</w:delText></w:r></w:del>"
        "<w:moveFrom><w:r><w:t>moved</w:t></w:r></w:moveFrom><w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r>"
        "<w:r><w:t>three</w:t><w:br/><w:t>four</w:t></w:r></w:p>"
        "<w:p/><w:p><w:r><w:t>5</w:t><w:txbxContent><w:p><w:r><w:t>box</w:t></w:r></w:p></w:txbxContent></w:r></w:p>";
    std::string text;
    ASSERT_TRUE(ImportDocx(test::MakeZip({{"word/document.xml", "<w:document xmlns:w=\"urn:w\"><w:body>" + body +
                                                                    "</w:body></w:document>"}}),
                           text).ok());
    EXPECT_EQ(text, "One two  three\nfour\n\n5\nbox\n");
    EXPECT_EQ(ImportDocx("\xD0\xCF\x11\xE0 locked", text).message,
              "it is locked with a password or an older Word file: save it without a password, as .docx or as a text");
}

TEST(ImportOdt, TakesTheParagraphsAndHeadingsAsLines) {
    const std::string body =
        "<text:h>Title</text:h><text:p>A  <text:span>b</text:span><text:s text:c=\"3\"/>c<text:tab/>d<draw:frame>"
        "<svg:title xmlns:svg=\"urn:svg\">alt</svg:title><draw:text-box><text:p>box</text:p></draw:text-box></draw:frame>"
        "<text:note><text:note-body><text:p>note</text:p></text:note-body></text:note></text:p><text:p/>"
        "<text:list><text:list-item><text:p>e<text:line-break/>f</text:p></text:list-item></text:list>";
    std::string text;
    ASSERT_TRUE(ImportOdt(test::MakeZip({{"content.xml", "<o:document-content xmlns:o=\"urn:o\" xmlns:text=\"urn:t\" xmlns:draw=\"urn:d\">"
                                                         "<o:body><o:text>" + body + "</o:text></o:body>"
                                                         "</o:document-content>"}}),
                          text).ok());
    EXPECT_EQ(text, "Title\nA b   c d\nbox\n\ne\nf\n");
    EXPECT_EQ(ImportOdt(test::MakeZip({{"mimetype", "x"}}), text).message,
              "it is not an OpenDocument text that can be read");
}

}  // namespace
}  // namespace tavrilo
