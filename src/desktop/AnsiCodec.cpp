// ANSI code page conversion through the C library's iconv.
#include "AnsiCodec.h"

#include <cerrno>
#include <iconv.h>

#include <QLocale>

namespace ardela {

namespace {

// Converts `in` from one code set to another; a character the target lacks (or an invalid
// input byte) becomes `replacement` and the conversion goes on.
QByteArray Convert(const QByteArray& in, const char* to, const char* from, const QByteArray& replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    QByteArray out;
    out.reserve(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: skip one input unit (a whole UTF-8 sequence or one byte).
            size_t skip = 1;
            if (QByteArray(from) == "UTF-8") {
                const unsigned char lead = static_cast<unsigned char>(*src);
                skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
                if (skip > srcLeft)
                    skip = srcLeft;
            }
            src += skip;
            srcLeft -= skip;
            out.append(replacement);
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

QByteArray ToAnsi(const QString& text)
{
    return Convert(text.toUtf8(), AnsiCodePage().toLatin1().constData(), "UTF-8", QByteArrayLiteral("?"));
}

QString FromAnsi(const QByteArray& bytes)
{
    return QString::fromUtf8(Convert(bytes, "UTF-8", AnsiCodePage().toLatin1().constData(), QByteArrayLiteral("\xEF\xBF\xBD")));
}

} // namespace ardela
