// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/screens/screen_pictures.h"

#include <png.h>

#include "tavrilo/system/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tavrilo {

namespace {

Status PngBytes(const Bitmap& b, std::string& png) {
    std::vector<png_byte> grey(b.Pixels().size());
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = b.Pixels()[i] ? 0 : 255;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(b.Width());
    image.height = static_cast<png_uint_32>(b.Height());
    image.format = PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, grey.data(), b.Width(), nullptr)) {
        png.resize(size);
        if (png_image_write_to_memory(&image, png.data(), &size, 0, grey.data(), b.Width(), nullptr)) {
            png.resize(size);
            return {};
        }
    }
    std::string problem = image.message;
    png_image_free(&image);
    return Status::Failed(problem.empty() ? "cannot make the picture" : problem);
}

}  // namespace

Status WritePng(const std::string& path, const Bitmap& b) {
    std::string png;
    const Status r = PngBytes(b, png);
    return r.ok() ? WriteWholeFile(path, png) : r;
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

// Whether png is a picture as SavePictures writes them: 8-bit grey, the
// screen's size at one of the scales.
bool IsPictureItWrites(std::string_view png) {
    static constexpr unsigned char kHead[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    if (png.size() < 26 || png.compare(0, sizeof kHead, reinterpret_cast<const char*>(kHead), sizeof kHead) != 0)
        return false;
    const auto word = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = at; i < at + 4; ++i) v = v << 8 | static_cast<unsigned char>(png[i]);
        return v;
    };
    const std::uint32_t w = word(16), h = word(20);
    const bool grey8 = png[24] == 8 && png[25] == 0;
    for (const Calculator& c : kCalculators)
        for (int s = kMinScale; s <= kMaxScale; ++s)
            if (grey8 && w == std::uint32_t(c.screen.width * s) && h == std::uint32_t(c.screen.height * s)) return true;
    return false;
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
        r.status = Status::Failed(dir + ": " + ec.message(), ec.value());
        return r;
    }
    FileSet set;
    const auto fail = [&](const Status& why) {
        r.status = why;
        if (r.status.message.find(dir) == std::string::npos) r.status.message = dir + ": " + r.status.message;
        return r;
    };
    Status step = set.Open(dir, kPictureList, [](const std::string& name) { return PictureIndex(name) >= 0; },
                           IsPictureItWrites);
    if (!step.ok()) return fail(step);
    std::string png;
    for (std::size_t i = 0; i < model.Count(); ++i) {
        step = PngBytes(Scaled(Render(model.At(i)).image, scale), png);
        if (step.ok()) step = set.Add(PictureName(i), png);
        if (!step.ok()) return fail(step);
        ++r.written;
        if (goOn && r.written < model.Count() && !goOn(r.written)) {
            r.stopped = true;
            break;
        }
    }
    step = set.Commit(r.removed);
    if (!step.ok()) return fail(step);
    for (const std::string& name : set.Unproven()) r.unproven.push_back(dir + "/" + name);
    // Pictures past the last that are still there are not this program's.
    ec.clear();
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const long index = PictureIndex(name);
        if (index >= 0 && static_cast<std::size_t>(index) >= r.written &&
            !std::binary_search(set.Unproven().begin(), set.Unproven().end(), name))
            r.kept.push_back(it->path().string());
    }
    std::sort(r.kept.begin(), r.kept.end());
    return r;
}

}  // namespace tavrilo
