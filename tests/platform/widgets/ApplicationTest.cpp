// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempDir.h"
#include "platform/system/Exceptions.h"
#include "platform/widgets/Application.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <thread>

namespace {

class Counter : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User + 7) {
            ++delivered;
            return true;
        }
        return QObject::event(e);
    }
    int delivered = 0;
};

}  // namespace

TEST(ProcessMessages, DeliversPostedEventsAtEveryCall)
{
    // Calls in quick succession mostly skip the full dispatcher pass; a
    // posted event must still be delivered by the very next call.
    Counter counter;
    for (int i = 1; i <= 50; ++i) {
        QCoreApplication::postEvent(&counter, new QEvent(static_cast<QEvent::Type>(QEvent::User + 7)));
        platform::Application().ProcessMessages();
        ASSERT_EQ(counter.delivered, i);
    }
}

TEST(ProcessMessages, RunsDueTimersOnceTheFullPassIsDue)
{
    bool fired = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
    timer.start();
    // However recently the last full pass ran, the interval has passed now.
    std::this_thread::sleep_for(2 * platform::TApplication::FullPassInterval);
    platform::Application().ProcessMessages();
    EXPECT_TRUE(fired);
}

TEST(ErrorBoxText, AppendsStopOnlyAfterCharacterSortingAfterStop)
{
    EXPECT_EQ(platform::ErrorBoxText("Invalid SelStart"), "Invalid SelStart.");
    EXPECT_EQ(platform::ErrorBoxText("Fertig."), "Fertig.");
    EXPECT_EQ(platform::ErrorBoxText("Wirklich!"), "Wirklich!");  // '!' sorts before '.'
    EXPECT_EQ(platform::ErrorBoxText("Pfad/"), "Pfad/.");          // '/' sorts after '.'
    EXPECT_EQ(platform::ErrorBoxText("E/A-Fehler 131"), "E/A-Fehler 131.");
    EXPECT_EQ(platform::ErrorBoxText(""), "");
}

TEST(DefaultHandler, ShowsTheTextOfEachKindOfError)
{
    // An exception that escapes a handler Qt entered reaches the default
    // handler, which shows its text in the error box.
    const struct {
        std::function<void()> raise;
        QString box;
    } cases[] = {
        {[] { throw std::bad_alloc(); }, "Zu wenig Arbeitsspeicher."},
        {[] { throw platform::EOutOfMemory(); }, "Zu wenig Arbeitsspeicher."},
        {[] { throw platform::EInOutError(platform::ioDiskFull); }, "Zu wenig Speicherplatz."},
        {[] { throw std::runtime_error("Invalid SelStart"); }, "Invalid SelStart."},
        {[] { throw 7; }, "Unbekannter Fehler."},
    };
    for (const auto& c : cases) {
        testsupport::Boxes().boxes.clear();
        platform::Guard(c.raise);
        ASSERT_EQ(testsupport::Boxes().boxes.size(), 1u);
        EXPECT_TRUE(testsupport::Boxes().boxes[0].error);
        EXPECT_EQ(testsupport::Boxes().boxes[0].text.toStdString(), c.box.toStdString());
    }
}
