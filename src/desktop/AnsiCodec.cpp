// ANSI code page conversion through the C library's iconv.
#include "desktop/AnsiCodec.h"

#include <cerrno>
#include <functional>
#include <iconv.h>

#include <QLocale>

namespace ardela {

namespace {

// Converts `in` from one code set to another; where an input unit cannot be converted,
// `onInvalid` consumes it and says what to write instead, and the conversion goes on.
QByteArray Convert(const QByteArray& in, const char* to, const char* from,
                   const std::function<QByteArray(const char*& src, size_t& srcLeft)>& onInvalid)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;  // the C library lacks the code page: keep the bytes as they are
    QByteArray out;
    out.reserve(in.size() * 2 + 16);
    const char* src = in.constData();
    size_t srcLeft = static_cast<size_t>(in.size());
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        char* next = const_cast<char*>(src);  // iconv reads through a non-const pointer
        const size_t r = iconv(cd, &next, &srcLeft, &dst, &dstLeft);
        src = next;
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL.
            out.append(onInvalid(src, srcLeft));
        }
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    iconv_close(cd);
    return out;
}

} // namespace

QString AnsiCodePage()
{
    switch (QLocale().language()) {
    case QLocale::Romanian:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Polish:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Bosnian:
    case QLocale::Albanian:
        return QStringLiteral("CP1250");
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Bulgarian:
    case QLocale::Macedonian:
    case QLocale::Serbian:
        return QStringLiteral("CP1251");
    case QLocale::Greek:
        return QStringLiteral("CP1253");
    case QLocale::Turkish:
        return QStringLiteral("CP1254");
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
        return QStringLiteral("CP1257");
    default:
        return QStringLiteral("CP1252");
    }
}

// The code pages are single-byte: a byte the code page leaves undefined decodes to the control
// character of the same number (U+0080..U+00FF range) and encodes back to that byte, so every
// file reads and writes back unchanged. A character the code page lacks becomes "?".
QByteArray ToAnsi(const QString& text)
{
    return Convert(text.toUtf8(), AnsiCodePage().toLatin1().constData(), "UTF-8",
                   [](const char*& src, size_t& left) -> QByteArray {
                       const unsigned char lead = static_cast<unsigned char>(*src);
                       size_t skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                       if (skip > left)
                           skip = left;
                       const QString ch = QString::fromUtf8(src, qsizetype(skip));
                       src += skip;
                       left -= skip;
                       if (ch.size() == 1 && ch[0].unicode() >= 0x80 && ch[0].unicode() <= 0xFF)
                           return QByteArray(1, char(ch[0].unicode()));
                       return QByteArrayLiteral("?");
                   });
}

QString FromAnsi(const QByteArray& bytes)
{
    return QString::fromUtf8(Convert(bytes, "UTF-8", AnsiCodePage().toLatin1().constData(),
                                     [](const char*& src, size_t& left) -> QByteArray {
                                         const char16_t unit = static_cast<unsigned char>(*src);
                                         ++src;
                                         --left;
                                         return QString(QChar(unit)).toUtf8();
                                     }));
}

} // namespace ardela
