// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Application.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace platform;

// The program's boxes show their whole title (not "Klan…ber") and the main
// window's icon.
TEST(QtMessageSink, BoxesAreAsWideAsTheirTitleAndCarryTheWindowIcon)
{
    QWidget form;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkYellow);
    form.setWindowIcon(QIcon(pixmap));
    Application().SetMainForm(&form);
    QFont bold = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    bold.setBold(true);
    const int titleText = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Klangheber"));

    QtMessageSink sink;
    for (auto show : {&QtMessageSink::ShowError, &QtMessageSink::ShowMessage}) {
        int width = 0;
        qint64 icon = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            width = box->width();
            icon = box->windowIcon().cacheKey();
            box->done(0);
        });
        (sink.*show)(QStringLiteral("Klangheber"), QStringLiteral("OK."));
        EXPECT_GE(width, titleText + 100) << "the title, the window icon and three buttons";
        EXPECT_EQ(icon, form.windowIcon().cacheKey());
    }
    Application().SetMainForm(nullptr);
}
