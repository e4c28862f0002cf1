// SPDX-License-Identifier: GPL-3.0-or-later
// The screens as PNG pictures, black on white.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tavrilo/screens/lcd.h"
#include "tavrilo/system/status.h"

namespace tavrilo {

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 8;
inline constexpr int kDefaultScale = 3;

// Writes b as an 8-bit grey PNG, through the file writer.
Status WritePng(const std::string& path, const Bitmap& b);

// "screen-001.png" for the first screen.
std::string PictureName(std::size_t index);

// The hidden file in a pictures folder that lists the pictures this program wrote there.
inline constexpr char kPictureList[] = ".tavrilo-pictures";

struct PicturesResult {
    std::size_t written = 0;
    std::size_t removed = 0;  // this program's pictures of screens past the last, from an earlier run
    std::vector<std::string> kept;  // pictures past the last that this program did not write, left alone
    std::vector<std::string> unproven;  // files the folder's list names that this program did not write, left alone
    Status status;
    bool stopped = false;  // goOn said no: the pictures after written were not made
};

// Writes every screen of model into dir (created when missing) at scale
// times the calculator's size, replacing the pictures an earlier run wrote
// there as a set (see FileSet), so that those of dir's pictures this program
// wrote are exactly the screens in order. goOn, when given, hears after each
// picture how many are made and may stop the run; the pictures made so far
// are then the set.
PicturesResult SavePictures(const ScreenModel& model, const std::string& dir, int scale,
                            const std::function<bool(std::size_t written)>& goOn = {});

}  // namespace tavrilo
