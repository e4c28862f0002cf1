// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/screens/lcd.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "helpers.h"
#include "tavrilo/screens/screen_pictures.h"
#include "temp_dir.h"

namespace tavrilo {
namespace {

// The advance of each small-font character as the calculator has it.
int CalculatorAdvance(unsigned char c) {
    const std::string_view two = "!'.:i|", three = "(),;]`flst", five = "&z~", six = "#$*@mw";
    if (c == ' ') return 1;
    if (two.find(static_cast<char>(c)) != std::string_view::npos) return 2;
    if (three.find(static_cast<char>(c)) != std::string_view::npos) return 3;
    if (five.find(static_cast<char>(c)) != std::string_view::npos) return 5;
    if (six.find(static_cast<char>(c)) != std::string_view::npos) return 6;
    return 4;
}

TEST(Font, AdvancesAreTheCalculators) {
    for (int c = 0x20; c <= 0x7E; ++c)
        EXPECT_EQ(SmallGlyphOf(static_cast<unsigned char>(c), Charset::Bytes).advance,
                  CalculatorAdvance(static_cast<unsigned char>(c)))
            << static_cast<char>(c);
    EXPECT_EQ(SmallGlyphOf('[', Charset::BasicTokens).advance, 3);  // the bracket token
    EXPECT_EQ(SmallTextWidth("[[", Charset::BasicTokens), 6);
    EXPECT_EQ(SmallTextWidth("[[", Charset::Bytes), 8);  // theta
    EXPECT_EQ(SmallTextWidth("Page 12", Charset::Bytes), 4 + 4 + 4 + 4 + 1 + 4 + 4);
}

TEST(Font, EveryGlyphInkStaysInItsCell) {
    const SmallGlyph& box = SmallGlyphOf(0x80, Charset::Bytes);
    EXPECT_EQ(box.advance, 4);
    for (int c = 0; c < 256; ++c) {
        const SmallGlyph& g = SmallGlyphOf(static_cast<unsigned char>(c), Charset::Bytes);
        for (std::uint8_t row : g.rows) EXPECT_EQ(row >> (g.advance - 1), 0) << c;  // blank right column
        const bool own = std::equal(std::begin(g.rows), std::end(g.rows), std::begin(box.rows));
        // Printable ASCII and the accented vowels 8Ah-99h have glyphs of their own.
        if ((c >= 0x21 && c <= 0x7E) || (c >= 0x8A && c <= 0x99)) {
            EXPECT_FALSE(own) << c;
        }
    }
    EXPECT_FALSE(std::equal(std::begin(LargeGlyphOf('T').rows), std::end(LargeGlyphOf('T').rows),
                            std::begin(LargeGlyphOf(0x01).rows)));
}

bool Lit(const Bitmap& b, int x0, int y0, int x1, int y1) {  // any pixel in the inclusive box
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (b.At(x, y)) return true;
    return false;
}

Screen Graph(std::vector<ScreenText> texts, std::vector<IlineArgs> lines = {}) {
    Screen s;
    s.texts = std::move(texts);
    s.lines = std::move(lines);
    return s;
}

TEST(Render, RowsFooterAndLineWhereTheCalculatorDrawsThem) {
    const Picture p = Render(Graph({{0, 0, "A"}, {49, 0, "T"}, {58, 0, "Page 1"}, {58, 85, "LP"}},
                                   {kSeparator}));
    const Bitmap& b = p.image;
    EXPECT_TRUE(p.clippedRows.empty());
    // "A" on pen row 0: the first row blank, the peak on row 1, the bar on row 3.
    EXPECT_FALSE(Lit(b, 0, 0, 95, 0));
    EXPECT_TRUE(b.At(1, 1));
    EXPECT_FALSE(b.At(0, 1));
    EXPECT_TRUE(b.At(0, 3) && b.At(1, 3) && b.At(2, 3));
    EXPECT_FALSE(Lit(b, 3, 1, 3, 5));
    // "T" on pen row 49: ink on rows 50 to 54 only.
    EXPECT_TRUE(b.At(0, 50) && b.At(1, 50) && b.At(2, 50) && b.At(1, 54));
    EXPECT_FALSE(Lit(b, 0, 49, 10, 49));
    EXPECT_FALSE(Lit(b, 0, 55, 95, 56));
    // The separator fills pixel row 57 and nothing else.
    for (int x = 0; x < b.Width(); ++x) EXPECT_TRUE(b.At(x, 57)) << x;
    EXPECT_FALSE(Lit(b, 0, 58, 95, 58));
    // The footer and "LP" (L then P) on rows 59 to 63.
    EXPECT_TRUE(b.At(0, 59) && b.At(1, 59));  // P
    EXPECT_TRUE(b.At(85, 59) && b.At(85, 63) && b.At(87, 63));  // L
    EXPECT_FALSE(b.At(86, 59));
    EXPECT_TRUE(b.At(89, 59));  // P
    EXPECT_FALSE(Lit(b, 93, 58, 95, 63));
}

TEST(Render, StringsClearTheirCellsAndStopAtTheEdge) {
    const Picture wide = Render(Graph({{14, 0, std::string(20, 'm')}, {21, 0, std::string(24, 'A')}}));
    EXPECT_EQ(wide.clippedRows, std::vector<int>{14});
    EXPECT_TRUE(Lit(wide.image, 90, 15, 94, 19));   // the 16th m
    EXPECT_FALSE(Lit(wide.image, 95, 15, 95, 19));  // its blank column; the 17th is not drawn
    EXPECT_TRUE(Lit(wide.image, 92, 22, 94, 26));   // 24 x 4 fills the row exactly

    // A space drawn over "H" clears its one column of six rows; the rest stays.
    const Bitmap over = Render(Graph({{7, 0, "H"}, {7, 0, " "}})).image;
    EXPECT_FALSE(Lit(over, 0, 7, 0, 12));
    EXPECT_TRUE(over.At(2, 8) && over.At(1, 10));

    // 5Bh is theta in a byte string and the bracket in a BASIC one.
    Screen token = Graph({{0, 0, "[A"}});
    const Bitmap theta = Render(token).image;
    token.charset = Charset::BasicTokens;
    const Bitmap bracket = Render(token).image;
    EXPECT_TRUE(theta.At(4, 2) && !theta.At(3, 2));      // A after 4 columns
    EXPECT_TRUE(bracket.At(3, 2) && !bracket.At(2, 2));  // A after 3 columns
}

TEST(Render, TitleOnTheHomeScreenAndScaling) {
    Screen home;
    home.display = Display::Home;
    home.texts = {{0, 0, " TAVRILO BY K.V "}, {1, 0, std::string(17, 'I')}};
    const Picture p = Render(home);
    EXPECT_EQ(p.clippedRows, std::vector<int>{1});
    EXPECT_FALSE(Lit(p.image, 0, 0, 5, 7));  // the leading space
    for (int x = 6; x <= 10; ++x) EXPECT_TRUE(p.image.At(x, 0));  // the bar of T
    EXPECT_FALSE(Lit(p.image, 11, 0, 11, 7));
    EXPECT_FALSE(Lit(p.image, 6, 7, 95, 7));

    const Bitmap big = Scaled(p.image, 3);
    ASSERT_EQ(big.Width(), 288);
    ASSERT_EQ(big.Height(), 192);
    for (int y = 0; y < big.Height(); y += 5)
        for (int x = 0; x < big.Width(); x += 7) ASSERT_EQ(big.At(x, y), p.image.At(x / 3, y / 3));
}

// Reads a PNG back as grey bytes.
bool ReadPng(const std::string& path, int& w, int& h, std::vector<png_byte>& grey) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_GRAY;
    w = static_cast<int>(image.width);
    h = static_cast<int>(image.height);
    grey.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr) != 0;
}

TEST(Pictures, PngFilesReadBackWithTheirPixels) {
    test::TempDir dir;
    const ScreenModel m = ScreenModel::ForAsm("first page\r\n" + test::Repeat("x\r\n", 9), AsmOpts{});
    const std::string out = dir / "new/sub";
    const PicturesResult r = SavePictures(m, out, 2);
    ASSERT_TRUE(r.status.ok()) << r.status.message;
    ASSERT_EQ(r.written, 3u);  // two pages and the credit
    EXPECT_EQ(test::EntryCount(out), 4u);  // and the list of what was written
    for (std::size_t i = 0; i < m.Count(); ++i) {
        int w = 0, h = 0;
        std::vector<png_byte> grey;
        ASSERT_TRUE(ReadPng(out + "/" + PictureName(i), w, h, grey)) << PictureName(i);
        ASSERT_EQ(w, 192);
        ASSERT_EQ(h, 128);
        const Bitmap want = Scaled(Render(m.At(i)).image, 2);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(grey[static_cast<std::size_t>(y) * w + x], want.At(x, y) ? 0 : 255) << x << "," << y;
    }
    EXPECT_EQ(PictureName(0), "screen-001.png");
    EXPECT_EQ(PictureName(1234), "screen-1235.png");
    test::Spit(dir / "file", "x");
    EXPECT_FALSE(SavePictures(m, dir / "file", 1).status.ok());
    // A link to a folder not made yet: the folder is made and the link stays.
    std::filesystem::create_symlink("made/later", dir / "link");
    ASSERT_TRUE(SavePictures(m, dir / "link", 1).status.ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(test::EntryCount(dir / "made/later"), m.Count() + 1);

    // A shorter text saved into the same folder leaves no pictures of the longer one.
    test::Spit(out + "/screen-0004.png", "not ours");
    test::Spit(out + "/notes.txt", "kept");
    const PicturesResult again = SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), out, 1);
    ASSERT_TRUE(again.status.ok()) << again.status.message;
    EXPECT_EQ(again.written, 2u);
    EXPECT_EQ(again.removed, 1u);
    EXPECT_EQ(test::EntryCount(out), 5u);  // two pictures, the list and the two files that are not pictures
    EXPECT_EQ(test::Slurp(out + "/notes.txt"), "kept");
    EXPECT_EQ(test::Slurp(out + "/screen-0004.png"), "not ours");
    int w = 0, h = 0;
    std::vector<png_byte> grey;
    EXPECT_TRUE(ReadPng(out + "/screen-002.png", w, h, grey));
}

// Told no after a picture, the run stops there, and the pictures made are the set.
TEST(Pictures, StopsWhenToldAndWhatItMadeIsTheSet) {
    test::TempDir dir;
    const std::string out = dir / "pics";
    const ScreenModel m = ScreenModel::ForAsm(test::Repeat("row\r\n", 40), AsmOpts{});
    const std::size_t count = m.Count();
    ASSERT_GT(count, 3u);
    ASSERT_EQ(SavePictures(m, out, 1).written, count);
    std::vector<std::size_t> heard;
    const PicturesResult r = SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), out, 1, [&](std::size_t n) {
        heard.push_back(n);
        return false;
    });
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.written, 1u);
    EXPECT_EQ(r.removed, count - 1);
    EXPECT_EQ(heard, std::vector<std::size_t>{1});
    EXPECT_EQ(test::EntryCount(out), 2u);
    // Told yes throughout, it runs to the end, and the last picture asks nothing.
    heard.clear();
    const PicturesResult all = SavePictures(m, out, 1, [&](std::size_t n) {
        heard.push_back(n);
        return true;
    });
    EXPECT_FALSE(all.stopped);
    EXPECT_EQ(all.written, count);
    ASSERT_EQ(heard.size(), count - 1);
    for (std::size_t i = 0; i < heard.size(); ++i) EXPECT_EQ(heard[i], i + 1);
}

// The user's own pictures past the last screen are named, not removed.
TEST(Pictures, LeavesPicturesItDidNotWriteAndNamesThem) {
    test::TempDir dir;
    for (const char* name : {"screen-005.png", "screen-010.png", "screen-1234.png"}) test::Spit(dir / name, name);
    const PicturesResult r = SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), dir.path(), 1);
    ASSERT_TRUE(r.status.ok()) << r.status.message;
    EXPECT_EQ(r.removed, 0u);
    EXPECT_EQ(r.kept, (std::vector<std::string>{dir / "screen-005.png", dir / "screen-010.png", dir / "screen-1234.png"}));
    EXPECT_EQ(test::Slurp(dir / "screen-1234.png"), "screen-1234.png");
}

// A FIFO with no reader in a picture's place neither holds the run nor is written into.
TEST(Pictures, AFifoInAPicturesPlaceIsRefusedAtOnce) {
    test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "screen-001.png").c_str(), 0600), 0);
    EXPECT_EQ(SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), dir.path(), 1).status.code, EEXIST);
}

// A signal part way through a second run leaves the first run's set as it was, and nothing else.
TEST(Pictures, ARunEndedBySignalLeavesTheEarlierSetWhole) {
    test::TempDir dir;
    ASSERT_EQ(SavePictures(ScreenModel::ForAsm(test::Repeat("row\r\n", 20), AsmOpts{}), dir.path(), 1).written, 4u);
    std::vector<std::string> before;
    for (std::size_t i = 0; i < 4; ++i) before.push_back(test::Slurp(dir / PictureName(i)));
    const pid_t pid = fork();
    if (pid == 0) {
        SavePictures(ScreenModel::ForAsm(test::Repeat("other\r\n", 20), AsmOpts{}), dir.path(), 2, [](std::size_t n) {
            return n < 2 || raise(SIGTERM) != 0;
        });
        _exit(0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(test::EntryCount(dir.path()), 5u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(test::Slurp(dir / PictureName(i)), before[i]) << i;
}

// SIGKILL gives no chance to clean up: the next run into the folder removes what was left.
TEST(Pictures, TheNextRunClearsWhatAKilledRunLeft) {
    test::TempDir dir;
    const pid_t pid = fork();
    if (pid == 0) {
        SavePictures(ScreenModel::ForAsm(test::Repeat("row\r\n", 20), AsmOpts{}), dir.path(), 1,
                     [](std::size_t n) { return n < 2 || raise(SIGKILL) != 0; });
        _exit(0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_EQ(test::EntryCount(dir.path()), 1u);  // the staging folder
    // A folder of that name holding more than plain files is not one the program left.
    std::filesystem::create_directories(dir / ".tavrilo-Keep01/sub");
    test::Spit(dir / ".tavrilo-Keep01/notes", "mine");
    const PicturesResult r = SavePictures(ScreenModel::ForAsm("row\r\n", AsmOpts{}), dir.path(), 1);
    EXPECT_EQ(test::EntryCount(dir.path()), r.written + 2);  // the pictures, the list and .tavrilo-Keep01
    EXPECT_EQ(test::Slurp(dir / ".tavrilo-Keep01/notes"), "mine");
}

// While one run writes into a folder, another fails there instead of mixing its pictures in.
TEST(Pictures, ASecondRunIntoABusyFolderFails) {
    test::TempDir dir;
    const int busy = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(busy, LOCK_EX), 0);
    EXPECT_EQ(SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), dir.path(), 1).status.code, EWOULDBLOCK);
    EXPECT_EQ(test::EntryCount(dir.path()), 0u);
    ::close(busy);
}

// A planted list of pictures turns the run against nothing: a listed name
// counts as the program's picture only when its file is what the program
// wrote, and a link, FIFO or device under the list's name is neither followed
// nor read. A user's folder named like a staging folder is not swept away.
TEST(Pictures, APlantedListIsNotTrusted) {
    test::TempDir dir;
    const ScreenModel m = ScreenModel::ForAsm("x", AsmOpts{});  // two pictures
    const std::string pics = dir / "pics", list = pics + "/" + kPictureList;
    std::filesystem::create_directories(pics + "/.tavrilo-backup");
    test::Spit(pics + "/.tavrilo-backup/notes", "mine");
    ASSERT_TRUE(SavePictures(m, pics, 1).status.ok());
    EXPECT_EQ(test::Slurp(pics + "/.tavrilo-backup/notes"), "mine");
    for (const char* name : {"thesis.tex", "screen-005.png"}) test::Spit(pics + "/" + name, "mine");
    test::Spit(list, test::Slurp(list) + "thesis.tex\nscreen-005.png\n");
    const PicturesResult r = SavePictures(m, pics, 1);
    EXPECT_TRUE(r.status.ok() && r.removed == 0 && test::Slurp(pics + "/thesis.tex") == "mine");
    EXPECT_EQ(r.unproven, (std::vector<std::string>{pics + "/screen-005.png", pics + "/thesis.tex"}));
    test::Spit(pics + "/screen-001.png", "mine");
    EXPECT_EQ(SavePictures(m, pics, 1).status.code, EEXIST);
    EXPECT_EQ(test::Slurp(pics + "/screen-001.png"), "mine");
    test::Spit(dir / "v.txt", "kept");
    for (const std::string planted : {"../v.txt", "/dev/zero", "fifo"}) {
        std::filesystem::remove(list);
        ASSERT_TRUE(planted == "fifo" ? mkfifo(list.c_str(), 0600) == 0 : symlink(planted.c_str(), list.c_str()) == 0);
        EXPECT_FALSE(SavePictures(m, pics, 1).status.ok()) << planted;
    }
    EXPECT_EQ(test::Slurp(dir / "v.txt"), "kept");
}

// A list of names alone, as the earlier lists were, still counts the pictures of the sizes it writes.
TEST(Pictures, AListOfNamesAloneStillCountsThePicturesItWrote) {
    test::TempDir dir;
    ASSERT_EQ(SavePictures(ScreenModel::ForAsm(test::Repeat("row\r\n", 20), AsmOpts{}), dir.path(), 2).written, 4u);
    test::Spit(dir / kPictureList, "screen-001.png\nscreen-002.png\nscreen-003.png\nscreen-004.png\n");
    EXPECT_EQ(SavePictures(ScreenModel::ForAsm("x", AsmOpts{}), dir.path(), 1).removed, 2u);
}

}  // namespace
}  // namespace tavrilo
