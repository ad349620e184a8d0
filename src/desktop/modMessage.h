// ShowMessage: the one routine for messages and questions, with the message-box styles and codes.
#pragma once

#include <cstdint>
#include <functional>

#include <QString>

namespace ardela {

// Button sets and icons; a style is the sum of one of each.
enum MessageStyle : std::int16_t {
    MsgOkOnly = 0,
    MsgOkCancel = 1,
    MsgYesNoCancel = 3,
    MsgYesNo = 4,
    MsgWaitStop = 5,  // "&Wait" answers MsgResultRetry, "&Stop" MsgResultCancel
    MsgCritical = 16,
    MsgQuestion = 32,
    MsgExclamation = 48,
    MsgInformation = 64,
};

// What the pressed button returns.
enum MessageResult : std::int16_t {
    MsgResultOk = 1,
    MsgResultCancel = 2,
    MsgResultRetry = 4,
    MsgResultYes = 6,
    MsgResultNo = 7,
};

// Carriage return and line feed, the joint between the lines of a message.
inline const QString kCrLf = QStringLiteral("\r\n");

// A fixed message with the cause of the failure on its next line (the message alone when no
// cause is known).
QString WithCause(const QString& message, const QString& cause);

// Shows `prompt` with `style` under `title` and returns the pressed button's code, or 2 when
// no selection was made.
std::int16_t ShowMessage(const QString& prompt, std::int16_t style, const QString& title = QString());

// Who answers ShowMessage: the message dialog in the programs, a recorder in tests, standard
// error in the batch tool. Returns the previous handler.
using MessageHandler = std::function<std::int16_t(const QString& prompt, std::int16_t style, const QString& title)>;
MessageHandler SetMessageHandler(MessageHandler handler);

// The handler that writes the message to standard error and answers OK for a plain message
// and Cancel for a question (no selection).
std::int16_t StandardErrorMessageHandler(const QString& prompt, std::int16_t style, const QString& title);

// The icon and button-set codes a style is made of.
std::int16_t MessageIconCode(std::int16_t style);
std::int16_t MessageButtonSet(std::int16_t style);

} // namespace ardela
