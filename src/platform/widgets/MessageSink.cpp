// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/MessageSink.h"

#include "platform/widgets/Application.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace platform {
namespace {

// The icon of the program's windows: the main form's, else the application's.
QIcon MainWindowIcon()
{
    QWidget* form = Application().MainForm();
    return form ? form->windowIcon() : QApplication::windowIcon();
}

// What a window manager's title bar needs for a title: the text in a bold
// title font, and beside it the window icon and three buttons about as wide
// as the bar is high.
int TitleBarWidth(const QString& title)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int button = metrics.height() + 12;
    return metrics.horizontalAdvance(title) + 4 * button + 24;
}

// Gives a box the program's icon and the width its title needs; Qt's own
// allowance for the title leaves "Klan…ber" of "Klangheber".
void FitToTitle(QMessageBox& box)
{
    box.setWindowIcon(MainWindowIcon());
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(TitleBarWidth(box.windowTitle()), 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

void QtMessageSink::ShowError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    FitToTitle(box);
    box.exec();
}

void QtMessageSink::ShowMessage(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    FitToTitle(box);
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        box.move(area.center() - box.rect().center());
    }
    box.exec();
}

namespace {

void PrintBox(const QString& title, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

void StderrMessageSink::ShowError(const QString& title, const QString& text)
{
    PrintBox(title, text);
}

void StderrMessageSink::ShowMessage(const QString& title, const QString& text)
{
    PrintBox(title, text);
}

}  // namespace platform
