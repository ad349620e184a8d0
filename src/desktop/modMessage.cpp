// ShowMessage and its replaceable handler.
#include "desktop/modMessage.h"

#include <cstdio>
#include <utility>

namespace ardela {

namespace {

MessageHandler& Handler()
{
    static MessageHandler handler = StandardErrorMessageHandler;
    return handler;
}

} // namespace

std::int16_t MessageIconCode(std::int16_t style)
{
    for (const std::int16_t icon : {64, 48, 32, 16})
        if (style >= icon)
            return icon;
    return 0;
}

std::int16_t MessageButtonSet(std::int16_t style)
{
    return static_cast<std::int16_t>(style - MessageIconCode(style));
}

QString WithCause(const QString& message, const QString& cause)
{
    return cause.isEmpty() ? message : message + kCrLf + cause;
}

std::int16_t ShowMessage(const QString& prompt, std::int16_t style, const QString& title)
{
    const MessageHandler& handler = Handler();
    return handler ? handler(prompt, style, title) : std::int16_t(MsgResultCancel);
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

std::int16_t StandardErrorMessageHandler(const QString& prompt, std::int16_t style, const QString& title)
{
    QString text = prompt;
    text.replace(kCrLf, QStringLiteral("\n"));
    const QByteArray out = (title.isEmpty() ? text : title + QStringLiteral(": ") + text).toLocal8Bit();
    std::fprintf(stderr, "%s\n", out.constData());
    std::fflush(stderr);
    return MessageButtonSet(style) == MsgOkOnly ? std::int16_t(MsgResultOk) : std::int16_t(MsgResultCancel);
}

} // namespace ardela
