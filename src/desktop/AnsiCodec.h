// Texts in the user's ANSI code page, as the analysis files and reports store them.
#pragma once

#include <QByteArray>
#include <QString>

namespace ardela {

// The code page name for the user's locale: "CP1250" for Central European languages
// (Romanian among them), "CP1251" Cyrillic, ... and "CP1252" for the rest.
QString AnsiCodePage();
// Encodes a text in the user's code page; characters it lacks become "?".
QByteArray ToAnsi(const QString& text);
// Decodes bytes of the user's code page.
QString FromAnsi(const QByteArray& bytes);

} // namespace ardela
