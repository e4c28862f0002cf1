// The screens as PNG pictures, black on white.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "tavrilo/screens/lcd.h"

namespace tavrilo {

inline constexpr int kMinScale = 1;
inline constexpr int kMaxScale = 8;
inline constexpr int kDefaultScale = 3;

// Writes b as an 8-bit grey PNG; returns the problem, or "".
std::string WritePng(const std::string& path, const Bitmap& b);

// "screen-001.png" for the first screen.
std::string PictureName(std::size_t index);

struct PicturesResult {
    std::size_t written = 0;
    std::size_t removed = 0;  // pictures of screens past the last, from an earlier run
    std::string error;  // empty when every screen was written and every stale picture removed
    int code = 0;  // the system's error number behind error, where there is one
    bool stopped = false;  // goOn said no: the pictures after written were not made
};

// Writes every screen of model into dir (created when missing) at scale
// times the calculator's size, and removes the pictures numbered past the
// last screen, so that dir holds exactly the screens in order. goOn, when
// given, hears after each picture how many are written and may stop the run.
PicturesResult SavePictures(const ScreenModel& model, const std::string& dir, int scale,
                            const std::function<bool(std::size_t written)>& goOn = {});

}  // namespace tavrilo
