// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon: a calculator, drawn at any size.
#pragma once

#include <QImage>

namespace tavrilo {

QImage ProgramIconImage(int size);

}  // namespace tavrilo
