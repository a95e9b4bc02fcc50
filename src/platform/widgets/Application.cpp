// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/widgets/Application.h"

#include "platform/system/Exceptions.h"
#include "platform/system/SysUtils.h"

#include <QApplication>
#include <QWidget>

namespace platform {

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QLatin1Char('.');
    return message;
}

QString TextOfBytes(const std::string& bytes)
{
    QString text;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8SequenceAt(bytes, at);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[at++])));
            continue;
        }
        text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
        at += length;
    }
    return text;
}

std::string BytesOfText(const QString& text)
{
    std::string bytes;
    qsizetype run = 0;  // start of the characters not yet converted
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool kept = i < text.size() && text[i].unicode() >= 0xDC80 && text[i].unicode() <= 0xDCFF &&
                          (i == 0 || !text[i - 1].isHighSurrogate());
        if (!kept && i < text.size())
            continue;
        bytes += text.mid(run, i - run).toUtf8().toStdString();
        if (kept)
            bytes += static_cast<char>(text[i].unicode() - 0xDC00);
        run = i + 1;
    }
    return bytes;
}

TApplication& TApplication::Instance()
{
    static TApplication instance;
    return instance;
}

void TApplication::SetTitle(const QString& title)
{
    title_ = title;
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(title);
}

int TApplication::Run()
{
    return QApplication::exec();
}

void TApplication::ProcessMessages()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFullPass_ >= FullPassInterval) {
        QCoreApplication::processEvents();
        lastFullPass_ = std::chrono::steady_clock::now();
    } else {
        // Everything posted on this thread except deferred deletions, which
        // only the event loop itself performs.
        QCoreApplication::sendPostedEvents();
    }
    if (terminationSignal_ != 0)
        throw EAbort();
}

void TApplication::Terminate()
{
    QCoreApplication::quit();
}

void TApplication::RequestTermination(int sig)
{
    terminationSignal_ = sig;
    if (mainForm_)
        mainForm_->close();
    // Also ends the event loop of a modal box that may be open.
    Terminate();
}

void TApplication::HandleException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    Sink().ShowError(title_, ErrorBoxText(QString::fromStdString(ErrorText(e))));
}

void TApplication::HandleUnknownException()
{
    Sink().ShowError(title_, ErrorBoxText(QStringLiteral("Unbekannter Fehler")));
}

void TApplication::MessageBox(const QString& text)
{
    Sink().ShowMessage(title_, text);
}

MessageSink& TApplication::Sink()
{
    return sink_ ? *sink_ : static_cast<MessageSink&>(qtSink_);
}

MessageSink* TApplication::SetSink(MessageSink* sink)
{
    MessageSink* previous = sink_;
    sink_ = sink;
    return previous;
}

}  // namespace platform
