// Number texts in the user's locale.
#include "desktop/modLocale.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include <QLocale>

namespace ardela {

QString DecimalSeparator()
{
    return QLocale().decimalPoint();
}

QString FormatField(const QString& text, std::int16_t width)
{
    const QString sep = DecimalSeparator();
    QString number = text;
    if (!sep.isEmpty()) {
        const qsizetype p = text.indexOf(sep);
        if (p >= 0)
            number = text.left(p) + u'.' + text.mid(p + sep.size());
    }
    if (width != 0 && number.size() < width)
        number = QString(width - number.size(), u' ') + number;
    return number;
}

bool IsNumber(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QString sep = DecimalSeparator();
    for (const QChar ch : text) {
        const bool allowed = (ch >= u'0' && ch <= u'9') || ch == u'-' || ch == u'+' || sep.contains(ch);
        if (!allowed)
            return false;
    }
    bool ok = false;
    QLocale().toDouble(text, &ok);
    if (!ok && text.front() == u'+' && text.size() > 1 && text[1] != u'+' && text[1] != u'-')
        QLocale().toDouble(text.mid(1), &ok);
    return ok;
}

namespace {

QString WithSeparator(std::string s)
{
    QString out = QString::fromLatin1(s.c_str());
    out.replace(u'.', DecimalSeparator());
    return out;
}

} // namespace

QString FormatFixed(double value, int decimals)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string s(buf, res.ptr);
    if (!s.empty() && s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return WithSeparator(s);
}

QString FormatScientific(double value, int decimals)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, decimals);
    std::string s(buf, res.ptr);
    const auto e = s.find('e');
    std::string mant = s.substr(0, e);
    const char sign = s[e + 1];
    std::string exp = s.substr(e + 2);
    while (exp.size() > 1 && exp.front() == '0')
        exp.erase(0, 1);
    if (!mant.empty() && mant.front() == '-' && mant.find_first_not_of("-0.") == std::string::npos)
        mant.erase(0, 1);
    return WithSeparator(mant + " E" + sign + exp);
}

} // namespace ardela
