// SPDX-License-Identifier: GPL-3.0-or-later
// tavrilo-convert preview: the calculator's screens as PNG pictures.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "io.h"
#include "tavrilo/convert/ce.h"
#include "tavrilo/screens/screen_pictures.h"

namespace tavrilo::cli {

namespace {

struct PreviewArgs {
    TextInput input;
    std::string dir;
    std::string scaleText;
    CLI::Option* scaleOption = nullptr;
    LayoutFlags layout;
    bool ce = false;
};

int RunPreview(const PreviewArgs& p, Mode mode) {
    int scale = kDefaultScale;
    if (p.scaleOption->count() > 0) {
        if (const int bad = WholeNumber("--scale", p.scaleText, kMinScale, kMaxScale, scale)) return bad;
    }
    if (p.dir.empty()) return UsageError("preview needs -o DIR");
    if (p.dir == "-") return UsageError("the pictures need a folder; '-' is standard output");

    if (const int bad = p.input.Check()) return bad;
    std::string text;
    const Status r = p.input.Read(text, p.ce ? LackingByte(CalcKind::Ti84PlusCe, Language::Basic) : kReplaced);
    if (!r.ok()) {
        Err("cannot read '" + p.input.file + "': " + r.message);
        return 1;
    }
    const ScreenModel model = mode == Mode::Asm ? ScreenModel::ForAsm(std::move(text), p.layout.Opts())
                              : p.ce            ? ScreenModel::ForCe(text)
                                                : ScreenModel::ForBasic(text);
    if (model.LeftOut() > 0) Err(CeLeftOutMessage(model.LeftOut()));
    const PicturesResult written = SavePictures(model, p.dir, scale);
    if (!written.status.ok()) {
        Err("cannot write the pictures: " + written.status.message);
        return 1;
    }
    const auto plural = [](std::size_t n) { return n == 1 ? "picture" : "pictures"; };
    std::printf("wrote %zu %s to %s\n", written.written, plural(written.written), p.dir.c_str());
    if (written.removed > 0)
        std::printf("removed %zu %s of screens past the last\n", written.removed, plural(written.removed));
    for (const std::string& kept : written.kept)
        std::printf("left %s: past the last screen, but not written by this program\n", kept.c_str());
    for (const std::string& other : written.unproven)
        std::printf("left %s: named in the list of pictures, but not written by this program\n", other.c_str());
    for (const ClippedRow& c : model.Clipped())
        std::printf("clipped: %s, pen row %d\n", PictureName(c.screen).c_str(), c.row);
    return 0;
}

}  // namespace

void AddPreviewCommand(CommandLine& line) {
    auto p = std::make_shared<PreviewArgs>();
    CLI::App* preview = line.Declare("preview",
                                     "the calculator's screens as DIR/screen-001.png, screen-002.png, ... in "
                                     "the order a user sees them, black on white");
    preview->add_option("-o", p->dir, "the folder of the pictures, made when missing")->type_name("DIR")->required();
    p->scaleOption = preview->add_option("--scale", p->scaleText, "N x (96 x 64) pixels, or N x (265 x 165) for the CE, N from 1 to 8 (default 3)")
                         ->type_name("N");
    p->input.AddTo(preview);
    CLI::App* basic = line.Declare("basic", "the screens of basic", preview);
    basic->add_flag("--ce", p->ce, "the screens of the TI-84 Plus CE program (basic --ce)");
    line.OnRun(basic, [p] { return RunPreview(*p, Mode::Basic); });
    CLI::App* asmCommand = line.Declare("asm", "the screens of asm, with its layout flags", preview);
    p->layout.AddTo(asmCommand);
    line.OnRun(asmCommand, [p] { return RunPreview(*p, Mode::Asm); });
}

}  // namespace tavrilo::cli
