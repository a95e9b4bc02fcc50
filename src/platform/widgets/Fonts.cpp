#include "platform/widgets/Fonts.h"

#include <QStringList>

namespace platform {

QFont FormFont()
{
    QFont font;
    const QStringList families = {QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed"),
                                  QStringLiteral("Arial"), QStringLiteral("Helvetica")};
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
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
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

}  // namespace platform
