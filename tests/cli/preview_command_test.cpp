// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert preview: the screens as PNG files.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>

#include "../core/helpers.h"
#include "../core/temp_dir.h"
#include "tavrilo/screens/lcd.h"
#include "tavrilo/screens/screen_pictures.h"

namespace tavrilo {
namespace {

using test::TempDir;

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome Preview(const TempDir& dir, const std::string& args, const std::string& input = "") {
    test::Spit(dir / "stdin", input);
    const std::string cmd = std::string("'") + TAVRILO_CONVERT + "' preview " + args + " <'" +
                            (dir / "stdin") + "' >'" + (dir / "stdout") + "' 2>'" + (dir / "stderr") + "'";
    const int raw = std::system(cmd.c_str());
    Outcome r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::Slurp(dir / "stdout");
    r.err = test::Slurp(dir / "stderr");
    return r;
}

// The PNG at path against the screen drawn black on white at scale.
void ExpectPicture(const std::string& path, const Screen& screen, int scale) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << path;
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr));
    const Bitmap want = Render(screen).image;
    const int width = want.Width() * scale, height = want.Height() * scale;
    ASSERT_EQ(image.width, static_cast<unsigned>(width));
    ASSERT_EQ(image.height, static_cast<unsigned>(height));
    std::size_t dark = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const png_byte v = grey[static_cast<std::size_t>(y) * width + x];
            ASSERT_EQ(v, want.At(x / scale, y / scale) ? 0 : 255) << path << " " << x << "," << y;
            dark += v == 0;
        }
    EXPECT_GT(dark, 0u);
}

TEST(PreviewCommand, AsmScreensInOrderWithTheClippedRows) {
    TempDir dir;
    const std::string text = "first\r\n" + test::Repeat("w", 20) + test::Repeat("\r\nrow", 8);
    test::Spit(dir / "in.txt", text);
    const Outcome r = Preview(dir, "asm --scroll-up --show-page --scale 2 -o '" + (dir / "out/pics") +
                                       "' '" + (dir / "in.txt") + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 3 pictures to " + (dir / "out/pics") + "\nclipped: screen-001.png, pen row 7\n");
    const ScreenModel m = ScreenModel::ForAsm(text, AsmOpts{false, true, true});
    ASSERT_EQ(m.Count(), 3u);
    EXPECT_EQ(test::EntryCount(dir / "out/pics"), 4u);  // and the list of pictures written
    for (std::size_t i = 0; i < m.Count(); ++i) ExpectPicture(dir / ("out/pics/" + PictureName(i)), m.At(i), 2);
}

TEST(PreviewCommand, BasicFromStandardInputAtTheDefaultScale) {
    TempDir dir;
    const Outcome r = Preview(dir, "basic -o '" + (dir / "b") + "'", "Hello\r\nworld");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 2 pictures to " + (dir / "b") + "\n");
    const ScreenModel m = ScreenModel::ForBasic("Hello\r\nworld");
    ExpectPicture(dir / "b/screen-001.png", m.At(0), 3);
    ExpectPicture(dir / "b/screen-002.png", m.At(1), 3);  // the title

    // Ending on a line end, the program stops on its page: one picture, and the older second goes.
    const Outcome again = Preview(dir, "basic -o '" + (dir / "b") + "'", "Hello\r\n");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "wrote 1 picture to " + (dir / "b") + "\nremoved 1 picture of screens past the last\n");
    EXPECT_EQ(test::EntryCount(dir / "b"), 2u);  // and the list
}

TEST(PreviewCommand, CeScreensAndWhatWasLeftOut) {
    TempDir dir;
    const Outcome r = Preview(dir, "basic --ce --scale 1 -o '" + (dir / "c") + "'", "Caf\xE9 \x80ol\xE9");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 2 pictures to " + (dir / "c") + "\n");
    EXPECT_EQ(r.err, "tavrilo-convert: 1 character the TI-84 Plus CE cannot show was left out\n");
    const ScreenModel m = ScreenModel::ForCe("Caf\xE9 ol\xE9");
    ExpectPicture(dir / "c/screen-001.png", m.At(0), 1);
    ExpectPicture(dir / "c/screen-002.png", m.At(1), 1);  // the title on the home screen
}

TEST(PreviewCommand, UsageAndWriteErrors) {
    TempDir dir;
    const std::string out = " -o '" + (dir / "x") + "'";
    for (const std::string& args : {"basic --scale 0" + out, "asm --scale 9" + out, std::string("basic"),
                                    "asm --small --show-page" + out, "basic --small" + out, "pdf" + out,
                                    std::string(""), "basic --scale 010" + out, "basic --scale 0x3" + out,
                                    "basic --scale 2.5" + out, "basic --scale ''" + out, out + " in.txt",
                                    std::string("basic -o -")}) {
        SCOPED_TRACE(args);
        const Outcome r = Preview(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("\nTry 'tavrilo-convert --help' for more information.\n"), std::string::npos);
    }
    EXPECT_EQ(Preview(dir, "basic --scale 010" + out).err.rfind(
                  "tavrilo-convert: --scale takes a whole number from 1 to 8, not '010'\n", 0), 0u);
    EXPECT_EQ(Preview(dir, out + " in.txt").err.rfind("tavrilo-convert: preview needs basic or asm\n", 0), 0u);
    EXPECT_EQ(Preview(dir, "basic -o -").err.rfind(
                  "tavrilo-convert: the pictures need a folder; '-' is standard output\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
    test::Spit(dir / "file", "x");
    const Outcome r = Preview(dir, "basic -o '" + (dir / "file") + "'", "A");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write the pictures"), std::string::npos) << r.err;
    EXPECT_EQ(Preview(dir, "--help").status, 0);
    // The report that cannot be printed is a failure.
    const std::string full = std::string("'") + TAVRILO_CONVERT + "' preview basic -o '" + (dir / "y") +
                             "' </dev/null >/dev/full 2>/dev/null";
    const int raw = std::system(full.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
}

}  // namespace
}  // namespace tavrilo
