#include "tavrilo/screens/screen_pictures.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tavrilo {

std::string WritePng(const std::string& path, const Bitmap& b) {
    std::vector<png_byte> grey(b.Pixels().size());
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = b.Pixels()[i] ? 0 : 255;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(b.Width());
    image.height = static_cast<png_uint_32>(b.Height());
    image.format = PNG_FORMAT_GRAY;
    if (png_image_write_to_file(&image, path.c_str(), 0, grey.data(), b.Width(), nullptr)) return {};
    std::string problem = image.message;
    png_image_free(&image);
    return problem.empty() ? "cannot write the picture" : problem;
}

std::string PictureName(std::size_t index) {
    char name[40];
    std::snprintf(name, sizeof name, "screen-%03zu.png", index + 1);
    return name;
}

namespace {

// The index of a picture named as PictureName names them, or -1.
long PictureIndex(const std::string& name) {
    const std::string head = "screen-", tail = ".png";
    if (name.size() < head.size() + 3 + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return -1;
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    const long n = std::stol(digits);
    return n >= 1 && PictureName(static_cast<std::size_t>(n - 1)) == name ? n - 1 : -1;
}

// Pictures past the last screen are left from an earlier, longer text.
void RemoveStalePictures(const std::string& dir, std::size_t count, PicturesResult& r) {
    // A picture that stays would be taken for one of this text's screens.
    const auto fail = [&](const std::string& what, const std::error_code& ec) {
        if (!r.error.empty()) return;
        r.error = what + ": " + ec.message() + " (a picture of an earlier, longer text)";
        r.code = ec.value();
    };
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::directory_entry& entry = *it;
        const long index = PictureIndex(entry.path().filename().string());
        if (index < 0 || static_cast<std::size_t>(index) < count) continue;
        std::error_code removeEc;
        if (!entry.is_regular_file(removeEc)) continue;
        if (std::filesystem::remove(entry.path(), removeEc))
            ++r.removed;
        else if (removeEc)  // else gone already
            fail(entry.path().string(), removeEc);
    }
    if (ec) fail(dir, ec);
}

}  // namespace

PicturesResult SavePictures(const ScreenModel& model, const std::string& dir, int scale,
                            const std::function<bool(std::size_t written)>& goOn) {
    PicturesResult r;
    std::error_code ec;
    // A link to a folder not made yet is followed, as the file writer follows one to a file.
    std::filesystem::path made = dir;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(made, ec) && !std::filesystem::exists(made, ec); ++hops) {
        const std::filesystem::path to = std::filesystem::read_symlink(made, ec);
        if (ec) break;
        made = to.is_absolute() ? to : made.parent_path() / to;
    }
    ec.clear();
    std::filesystem::create_directories(made, ec);
    if (ec) {
        r.error = dir + ": " + ec.message();
        r.code = ec.value();
        return r;
    }
    for (std::size_t i = 0; i < model.Count(); ++i) {
        const std::string path = (std::filesystem::path(dir) / PictureName(i)).string();
        errno = 0;
        r.error = WritePng(path, Scaled(Render(model.At(i)).image, scale));
        r.code = r.error.empty() ? 0 : errno;
        if (!r.error.empty()) {
            r.error = path + ": " + r.error;
            return r;
        }
        ++r.written;
        if (goOn && r.written < model.Count() && !goOn(r.written)) {
            r.stopped = true;
            return r;
        }
    }
    RemoveStalePictures(dir, model.Count(), r);
    return r;
}

}  // namespace tavrilo
