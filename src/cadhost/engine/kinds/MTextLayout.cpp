// Decoding a multiline text's inline codes and laying its lines out.
#include "cadhost/engine/kinds/MTextLayout.h"

#include <algorithm>
#include <cmath>

#include <QStringList>

namespace cadhost::kinds {

namespace {

constexpr char16_t kNoBreakSpace = 0x00A0;

bool SameStyle(const TextRun& a, const TextRun& b)
{
    return a.height == b.height && a.widthFactor == b.widthFactor && a.font == b.font && a.bold == b.bold
        && a.italic == b.italic && a.underline == b.underline && a.overline == b.overline && a.strike == b.strike
        && a.color == b.color;
}

// The sign of a %% code ("c", "d", "p", "%"), or a null character for none.
QChar PercentSign(QChar code)
{
    switch (code.toLower().unicode()) {
    case u'c': return QChar(0x00D8);   // diameter
    case u'd': return QChar(0x00B0);   // degree
    case u'p': return QChar(0x00B1);   // plus-minus
    case u'%': return QLatin1Char('%');
    default: return QChar();
    }
}

// A number of a code's value ("2.5", "1.5x"); `relative` set for a trailing x.
bool CodeNumber(QString value, double& number, bool& relative)
{
    value = value.trimmed();
    relative = value.endsWith(QLatin1Char('x'), Qt::CaseInsensitive);
    if (relative)
        value.chop(1);
    bool ok = false;
    number = value.toDouble(&ok);
    return ok && std::isfinite(number) && number > 0;
}

} // namespace

QString DecodePercentCodes(const QString& text)
{
    if (!text.contains(QLatin1String("%%")))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 2 < text.size() && text[i + 1] == QLatin1Char('%')) {
            const QChar code = text[i + 2].toLower();
            if (const QChar sign = PercentSign(code); !sign.isNull()) {
                out += sign;
                i += 2;
                continue;
            }
            if (code == QLatin1Char('u') || code == QLatin1Char('o')) {
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<MTextParagraph> DecodeMText(const QString& text, const MTextPiece& base)
{
    std::vector<MTextParagraph> out;
    MTextPiece style = base;
    style.text.clear();
    std::vector<MTextPiece> kept;   // the styles the open braces will bring back
    auto startParagraph = [&] { out.push_back({style}); };
    auto put = [&](const QString& s) {
        MTextParagraph& para = out.back();
        if (para.back().text.isEmpty()) {
            para.back() = style;
        } else if (!SameStyle(para.back(), style)) {
            para.push_back(style);
            para.back().text.clear();
        }
        para.back().text += s;
    };
    startParagraph();
    // The value of a code up to its semicolon, the index moved past it.
    auto value = [&](qsizetype& i) {
        const qsizetype end = text.indexOf(QLatin1Char(';'), i);
        const QString v = text.mid(i, end < 0 ? -1 : end - i);
        i = end < 0 ? text.size() : end + 1;
        return v;
    };
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == QLatin1Char('{')) {
            kept.push_back(style);
            ++i;
        } else if (c == QLatin1Char('}')) {
            if (!kept.empty()) {
                style = kept.back();
                style.text.clear();
                kept.pop_back();
            }
            ++i;
        } else if (c == QLatin1Char('\n')) {
            startParagraph();
            ++i;
        } else if (c == QLatin1Char('%') && i + 2 < text.size() && text[i + 1] == QLatin1Char('%')
                   && !PercentSign(text[i + 2]).isNull()) {
            put(PercentSign(text[i + 2]));
            i += 3;
        } else if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar code = text[i + 1];
            i += 2;
            switch (code.unicode()) {
            case u'P': case u'N': startParagraph(); break;
            case u'~': put(QChar(kNoBreakSpace)); break;
            case u'\\': case u'{': case u'}': put(code); break;
            case u'L': style.underline = true; break;
            case u'l': style.underline = false; break;
            case u'O': style.overline = true; break;
            case u'o': style.overline = false; break;
            case u'K': style.strike = true; break;
            case u'k': style.strike = false; break;
            case u'f': case u'F': {
                const QStringList parts = value(i).split(QLatin1Char('|'));
                QString family = parts.value(0).trimmed();
                // A shape file's font has no family here: the drawing's font stands in.
                if (family.endsWith(QLatin1String(".shx"), Qt::CaseInsensitive))
                    family.clear();
                else if (family.endsWith(QLatin1String(".ttf"), Qt::CaseInsensitive))
                    family.chop(4);
                style.font = family;
                style.bold = style.italic = false;
                for (const QString& p : parts.mid(1)) {
                    if (p == QLatin1String("b1"))
                        style.bold = true;
                    else if (p == QLatin1String("i1"))
                        style.italic = true;
                }
                break;
            }
            case u'H': case u'W': {
                double number = 0;
                bool relative = false;
                if (CodeNumber(value(i), number, relative)) {
                    double& field = code == QLatin1Char('H') ? style.height : style.widthFactor;
                    field = relative ? field * number : number;
                }
                break;
            }
            case u'C': {
                bool ok = false;
                const int index = value(i).trimmed().toInt(&ok);
                if (ok)
                    style.color = index >= 1 && index <= 255 ? index : -1;
                break;
            }
            case u'S': {
                QString stacked = value(i);
                stacked.replace(QLatin1Char('^'), QLatin1Char('/')).replace(QLatin1Char('#'), QLatin1Char('/'));
                put(stacked);
                break;
            }
            case u'A': case u'Q': case u'T': case u'p': case u'c':
                value(i);
                break;
            default:
                put(code);   // an unknown code: its character
                break;
            }
        } else {
            put(c);
            ++i;
        }
    }
    return out;
}

QString MTextPlainText(const QString& text)
{
    QStringList paragraphs;
    for (const MTextParagraph& p : DecodeMText(text, MTextPiece{})) {
        QString s;
        for (const MTextPiece& piece : p)
            s += piece.text;
        paragraphs << s.replace(QChar(kNoBreakSpace), QLatin1Char(' '));
    }
    return paragraphs.join(QLatin1Char('\n'));
}

namespace {

// A paragraph as characters, each with the piece (style) it belongs to.
struct Chars {
    QString text;
    std::vector<int> piece;
};

Chars Flatten(const MTextParagraph& p)
{
    Chars out;
    for (std::size_t k = 0; k < p.size(); ++k)
        for (QChar c : p[k].text) {
            out.text += c;
            out.piece.push_back(int(k));
        }
    return out;
}

bool IsBreakingSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The runs of chars [from, to): one per stretch of a piece, at x offsets along the line.
std::vector<TextRun> RunsOf(const MTextParagraph& p, const Chars& chars, int from, int to, const TextMeasure& measure,
                            double& width)
{
    std::vector<TextRun> runs;
    width = 0;
    for (int i = from; i < to;) {
        int j = i;
        while (j < to && chars.piece[std::size_t(j)] == chars.piece[std::size_t(i)])
            ++j;
        TextRun run = p[std::size_t(chars.piece[std::size_t(i)])];
        run.text = chars.text.mid(i, j - i);
        run.text.replace(QChar(kNoBreakSpace), QLatin1Char(' '));
        run.at = Point3{width, 0, 0};
        width += measure(run);
        runs.push_back(std::move(run));
        i = j;
    }
    return runs;
}

} // namespace

MTextLayout LayoutMText(const std::vector<MTextParagraph>& paragraphs, double width, int attachment, double spacing,
                        const TextMeasure& measure)
{
    struct Line {
        std::vector<TextRun> runs;
        double width = 0;
        double height = 0;
    };
    std::vector<Line> lines;
    for (const MTextParagraph& p : paragraphs) {
        const Chars chars = Flatten(p);
        const int n = int(chars.text.size());
        auto heightOf = [&](int from, int to) {
            double h = 0;
            for (int i = from; i < to; ++i)
                h = std::max(h, p[std::size_t(chars.piece[std::size_t(i)])].height);
            return h > 0 ? h : (p.empty() ? 1.0 : p.front().height);
        };
        int pos = 0;
        do {
            const int start = pos;
            int end = start;
            // Words one after the other while the line keeps within the width.
            int scan = start;
            while (scan < n) {
                int wordEnd = scan;
                while (wordEnd < n && IsBreakingSpace(chars.text[wordEnd]))
                    ++wordEnd;
                while (wordEnd < n && !IsBreakingSpace(chars.text[wordEnd]))
                    ++wordEnd;
                if (end > start && width > 0) {
                    double w = 0;
                    RunsOf(p, chars, start, wordEnd, measure, w);
                    if (w > width * (1 + 1e-9))
                        break;
                }
                end = wordEnd;
                scan = wordEnd;
            }
            Line line;
            line.runs = RunsOf(p, chars, start, end, measure, line.width);
            line.height = heightOf(start, end);
            lines.push_back(std::move(line));
            pos = end;
            while (pos < n && IsBreakingSpace(chars.text[pos]))
                ++pos;
        } while (pos < n);
    }
    MTextLayout out;
    out.lines = int(lines.size());
    double boxWidth = width;
    if (!(width > 0))
        for (const Line& l : lines)
            boxWidth = std::max(boxWidth, l.width);
    out.width = std::max(boxWidth, 0.0);
    // Baselines from the top of the box down.
    std::vector<double> baselines;
    double y = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        y = i == 0 ? -lines[i].height : y - 5.0 / 3.0 * spacing * lines[i].height;
        baselines.push_back(y);
    }
    out.height = lines.empty() ? 0 : -baselines.back();
    const int a = std::clamp(attachment, 1, 9);
    const int column = (a - 1) % 3, row = (a - 1) / 3;
    const double dx = -out.width * column / 2.0, dy = out.height * row / 2.0;
    out.left = dx;
    out.top = dy;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const double lineX = (out.width - lines[i].width) * column / 2.0;
        for (TextRun& run : lines[i].runs) {
            run.at = Point3{run.at.x + lineX + dx, baselines[i] + dy, 0};
            if (!run.text.isEmpty())
                out.runs.push_back(std::move(run));
        }
    }
    return out;
}

} // namespace cadhost::kinds
