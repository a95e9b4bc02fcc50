#include "platform/widgets/Application.h"

#include "platform/system/Exceptions.h"

#include <QApplication>
#include <QWidget>

namespace platform {

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + QLatin1Char('.');
    return message;
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
