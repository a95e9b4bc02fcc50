// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Fonts.h"

#include <QStringList>

namespace platform {

QFont ArialMetricSans()
{
    // No style hint: with one, fontconfig answers a missing "Arial" with its
    // default sans (DejaVu Sans, much wider) instead of the Arial-metric face
    // it aliases to Arial (Nimbus Sans, Liberation Sans).
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans")});
    return font;
}

QFont FormFont()
{
    QFont font = ArialMetricSans();
    font.setPixelSize(11);
    return font;
}

QFont CourierFont(int pixelHeight)
{
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(pixelHeight);
    return font;
}

QFont ArialFont(int pointSize)
{
    QFont font = ArialMetricSans();
    font.setPointSize(pointSize);
    return font;
}

}  // namespace platform
