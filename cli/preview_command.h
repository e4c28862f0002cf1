// tavrilo-convert preview: the calculator's screens as PNG pictures.
#pragma once

namespace tavrilo::cli {

// Runs the preview command; argv[0] is "preview". Returns the exit status.
int RunPreview(int argc, char** argv);

}  // namespace tavrilo::cli
