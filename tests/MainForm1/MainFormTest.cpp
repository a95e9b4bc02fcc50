#include "MainForm1/MainForm1.h"

#include <gtest/gtest.h>

TEST(MainForm, StartsIdleWithItsControls)
{
    TMainForm form;
    EXPECT_EQ(form.windowTitle(), "Klangheber");
    EXPECT_FALSE(form.Timer1->Enabled());
    EXPECT_EQ(form.Timer1->Interval(), 200);
    EXPECT_EQ(form.StatusText(), "");
    EXPECT_EQ(form.Open->geometry(), QRect(8, 8, 113, 25));
    EXPECT_EQ(form.EndBtn->geometry(), QRect(152, 8, 113, 25));
}
