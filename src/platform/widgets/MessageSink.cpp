#include "platform/widgets/MessageSink.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>

namespace platform {

void QtMessageSink::ShowError(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

void QtMessageSink::ShowMessage(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
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
