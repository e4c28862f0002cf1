#include "tavrilo/screen_pictures.h"

#include <png.h>

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

PicturesResult SavePictures(const ScreenModel& model, const std::string& dir, int scale) {
    PicturesResult r;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        r.error = dir + ": " + ec.message();
        return r;
    }
    for (std::size_t i = 0; i < model.Count(); ++i) {
        const std::string path = (std::filesystem::path(dir) / PictureName(i)).string();
        r.error = WritePng(path, Scaled(Render(model.At(i)).image, scale));
        if (!r.error.empty()) {
            r.error = path + ": " + r.error;
            return r;
        }
        ++r.written;
    }
    return r;
}

}  // namespace tavrilo
