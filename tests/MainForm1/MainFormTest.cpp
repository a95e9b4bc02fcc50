// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFormProbe.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

TEST(MainForm, StartsIdleWithItsControls)
{
    testsupport::MainFormProbe form;
    EXPECT_EQ(form.windowTitle(), "Klangheber");
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(48, 48))) << "the program's icon, built in";
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 200);
    EXPECT_EQ(form.StatusText(), "");
    EXPECT_EQ(form.Open->geometry(), QRect(8, 8, 113, 25));
    EXPECT_EQ(form.EndBtn->geometry(), QRect(152, 8, 113, 25));
}

TEST(MainForm, HiddenControlsStayHiddenAndTheStatusBarSpansTheBottom)
{
    testsupport::MainFormProbe form;
    form.show();
    for (QWidget* w : std::initializer_list<QWidget*> {form.Rip, form.edtStart, form.edtEnd, form.Label1, form.Label2,
                                                       form.ListBox1})
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    EXPECT_TRUE(form.Open->isVisible());
    EXPECT_EQ(form.Rip->text(), "&Gabben");
    EXPECT_EQ(form.Label1->text(), "Startwert:");
    EXPECT_EQ(form.Label2->text(), "Endwert:");
    EXPECT_EQ(form.edtStart->text(), "");
    EXPECT_EQ(form.ListBox1->count(), 0);
    EXPECT_EQ(form.ListBox1->currentRow(), -1);
    const QRect bar = form.StatusBar1->geometry();
    EXPECT_EQ(bar.height(), 19);
    EXPECT_EQ(bar.left(), 0);
    EXPECT_EQ(bar.width(), form.width());
    EXPECT_EQ(bar.bottom(), form.height() - 1);
    form.close();
}

TEST(MainForm, EndButtonClosesTheWindow)
{
    testsupport::MainFormProbe form;
    form.show();
    ASSERT_TRUE(form.isVisible());
    form.EndBtn->click();
    EXPECT_FALSE(form.isVisible());
}

// The form font must be the Arial-metric face the setup installs, and every
// caption must fit the control it stands on, measured with the control's font.
TEST(MainForm, EveryCaptionFitsItsControl)
{
    testsupport::MainFormProbe form;
    form.show();
    const QFontInfo info(form.Open->font());
    // Qt adds the foundry ("Nimbus Sans [urw]") when several provide the name.
    EXPECT_TRUE(info.family().startsWith(QStringLiteral("Nimbus Sans")))
        << info.family().toStdString() << ": fonts-urw-base35 is part of the setup";
    EXPECT_EQ(info.pixelSize(), 11);

    auto shown = [](QString caption) {
        // "&x" underlines x, "&&" is a literal ampersand.
        caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        caption.remove(QLatin1Char('&'));
        caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
        return caption;
    };
    for (QPushButton* button : {static_cast<QPushButton*>(form.Open), static_cast<QPushButton*>(form.EndBtn),
                                static_cast<QPushButton*>(form.Rip)}) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        option.text = button->text();
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(shown(button->text())), contents.width())
            << button->text().toStdString() << " in " << contents.width() << " px";
        EXPECT_LE(metrics.height(), contents.height()) << button->text().toStdString();
    }
    for (QLabel* label : {form.Label1, form.Label2}) {
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width());
        EXPECT_LE(metrics.height(), label->contentsRect().height());
    }
    form.close();
}
