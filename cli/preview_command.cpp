#include "preview_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "args.h"
#include "io.h"
#include "tavrilo/system/file_io.h"
#include "tavrilo/screens/screen_pictures.h"

namespace tavrilo::cli {

namespace {

int Usage(std::string_view problem) {
    Err(problem);
    std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
    return 2;
}

}  // namespace

int RunPreview(int argc, char** argv) {
    CLI::App app("tavrilo-convert preview", "preview");
    app.set_help_flag();
    bool help = false;
    app.add_flag("-h,--help", help);
    app.require_subcommand(0, 1);
    std::string dir, input = "-", scaleText;
    CLI::App* basic = app.add_subcommand("basic");
    CLI::App* asmMode = app.add_subcommand("asm");
    for (CLI::App* sub : {basic, asmMode}) {
        sub->add_flag("-h,--help", help);
        sub->add_option("-o", dir)->type_name("DIR");
        sub->add_option("--scale", scaleText)->type_name("N");
        sub->add_option("FILE", input);
    }
    LayoutFlags layout;
    layout.AddTo(asmMode);
    // A mode comes first; without one the words after would be taken for stray arguments.
    const std::string first = argc > 1 ? argv[1] : "";
    if (first != "basic" && first != "asm" && first != "-h" && first != "--help")
        return Usage("preview needs basic or asm");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (!help) return Usage(e.what());
    }
    if (help) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        std::fwrite("\n", 1, 1, stdout);
        std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
        return 0;
    }
    int scale = kDefaultScale;
    if (basic->get_option("--scale")->count() + asmMode->get_option("--scale")->count() > 0) {
        // Decimal only: 010 is ten, not eight.
        const bool digits = !scaleText.empty() && scaleText.size() <= 2 &&
                            scaleText.find_first_not_of("0123456789") == std::string::npos;
        scale = digits ? std::stoi(scaleText) : 0;
        if (scale < kMinScale || scale > kMaxScale)
            return Usage("--scale takes a whole number from " + std::to_string(kMinScale) + " to " +
                         std::to_string(kMaxScale) + ", not '" + scaleText + "'");
    }
    if (dir.empty()) return Usage("preview needs -o DIR");

    std::string text;
    const Status r = ReadInput(input, text);
    if (!r.ok()) {
        Err("cannot read '" + input + "': " + r.message);
        return 1;
    }
    const ScreenModel model = basic->parsed() ? ScreenModel::ForBasic(text)
                                              : ScreenModel::ForAsm(std::move(text), layout.Opts());
    const PicturesResult written = SavePictures(model, dir, scale);
    if (!written.error.empty()) {
        Err("cannot write the pictures: " + written.error);
        return 1;
    }
    const auto plural = [](std::size_t n) { return n == 1 ? "picture" : "pictures"; };
    std::printf("wrote %zu %s to %s\n", written.written, plural(written.written), dir.c_str());
    if (written.removed > 0)
        std::printf("removed %zu %s of screens past the last\n", written.removed, plural(written.removed));
    for (const ClippedRow& c : model.Clipped())
        std::printf("clipped: %s, pen row %d\n", PictureName(c.screen).c_str(), c.row);
    return 0;
}

}  // namespace tavrilo::cli
