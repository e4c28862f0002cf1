// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_icon.h"

#include <QPainter>

namespace tavrilo {

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(64, 64, 80));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(size * 0.15, 0, size * 0.7, size), size * 0.1, size * 0.1);
    p.setBrush(QColor(180, 200, 160));
    p.drawRect(QRectF(size * 0.25, size * 0.1, size * 0.5, size * 0.35));
    p.setBrush(QColor(220, 220, 220));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(size * (0.25 + 0.18 * c), size * (0.55 + 0.2 * r), size * 0.12, size * 0.12));
    return image;
}

}  // namespace tavrilo
