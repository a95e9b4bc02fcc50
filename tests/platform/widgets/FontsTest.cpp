// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Fonts.h"

#include <QFontInfo>
#include <gtest/gtest.h>

using namespace platform;

// The byte editor's "Arial" (the marker digits), a plain request for Arial
// and the form font all end on the same face.
TEST(Fonts, EveryArialResolvesToTheFormFontsFace)
{
    auto face = [](const QFont& font) { return QFontInfo(font).family().toStdString(); };
    const std::string form = face(FormFont());
    EXPECT_EQ(face(ArialFont(9)), form);
    EXPECT_EQ(face(QFont(QStringLiteral("Arial"), 9)), form);
}
