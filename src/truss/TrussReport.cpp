// The truss report: input, displacements, bar forces, checksums and reactions in fixed columns.
#include "truss/TrussReport.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "desktop/AnsiCodec.h"
#include "desktop/Error.h"
#include "truss/TrussModel.h"
#include "desktop/modLocale.h"
#include "desktop/modMessage.h"

namespace ardela {

namespace {

// Field(w, t): right-aligned in exactly w characters; a longer text keeps its leftmost w.
QString Field(int width, const QString& text)
{
    if (text.size() >= width)
        return text.left(width);
    return QString(width - text.size(), u' ') + text;
}

QString Fixed(const Cell& cell)
{
    return FormatFixed(cell.ToDouble(), 3);
}

QString Fixed(float value)
{
    return FormatFixed(value, 3);
}

class ReportBuilder {
public:
    void Line(const QString& text = QString()) { m_text += text + kCrLf; }
    void Dashes() { Line(QString(69, u'-')); }
    void Banner(const QString& title)
    {
        Line();
        Dashes();
        Line(title);
        Dashes();
    }
    const QString& Text() const { return m_text; }

private:
    QString m_text;
};

const QString kNodeHeading = QStringLiteral("NODE     HORIZONTAL       VERTICAL");

} // namespace

QString ReportText(const TrussModel& m)
{
    ReportBuilder r;
    r.Dashes();
    r.Line(QStringLiteral("Korrin"));
    r.Dashes();
    r.Line(QStringLiteral("Plane truss analysis by the stiffness method"));
    r.Line(QStringLiteral("Written by the Ardela engineering team"));

    r.Banner(QStringLiteral("INPUT"));
    r.Line(QStringLiteral("NODES:  ") + Field(4, QString::number(m.NodeCount)));
    r.Line(QStringLiteral("BEAMS:  ") + Field(4, QString::number(m.ElementCount)));
    r.Line(QStringLiteral("BLOCKS: ") + Field(4, QString::number(m.BlockCount)));
    r.Line(QStringLiteral("LOADS:  ") + Field(4, QString::number(m.LoadCount)));

    r.Banner(QStringLiteral("NODES"));
    r.Line(QStringLiteral("NODE              X              Y"));
    for (int i = 1; i <= m.NodeCount; ++i)
        r.Line(Field(4, QString::number(i)) + Field(15, Fixed(m.Nodes(i, 1))) + Field(15, Fixed(m.Nodes(i, 2))));

    r.Banner(QStringLiteral("BEAMS"));
    r.Line(QStringLiteral("BEAM    NODE I    NODE J           AREA              E"));
    for (int i = 1; i <= m.ElementCount; ++i)
        r.Line(Field(4, QString::number(i)) + Field(10, m.Elements(i, 1).ToText()) + Field(10, m.Elements(i, 2).ToText())
               + Field(15, Fixed(m.Elements(i, 3))) + Field(15, FormatScientific(m.Elements(i, 4).ToDouble(), 3)));

    r.Banner(QStringLiteral("BLOCKS"));
    r.Line(kNodeHeading);
    for (int i = 1; i <= m.BlockCount; ++i)
        r.Line(Field(4, m.Blocks(i, 1).ToText()) + Field(15, m.Blocks(i, 2).ToText()) + Field(15, m.Blocks(i, 3).ToText()));

    r.Banner(QStringLiteral("LOADS"));
    r.Line(kNodeHeading);
    for (int i = 1; i <= m.LoadCount; ++i)
        r.Line(Field(4, m.Loads(i, 1).ToText()) + Field(15, m.Loads(i, 2).ToText()) + Field(15, m.Loads(i, 3).ToText()));

    r.Banner(QStringLiteral("NODAL DISPLACEMENTS"));
    r.Line(kNodeHeading);
    for (int i = 1; i <= m.NodeCount; ++i)
        r.Line(Field(4, QString::number(i)) + Field(15, Fixed(m.Displacements[std::size_t(2 * i - 2)]))
               + Field(15, Fixed(m.Displacements[std::size_t(2 * i - 1)])));

    r.Banner(QStringLiteral("BEAM STRESSES"));
    r.Line(QStringLiteral("BEAM    NODE I    NODE J         LENGTH           AREA         STRESS"));
    for (int i = 1; i <= m.ElementCount; ++i)
        r.Line(Field(4, QString::number(i)) + Field(10, m.Elements(i, 1).ToText()) + Field(10, m.Elements(i, 2).ToText())
               + Field(15, Fixed(m.Elements(i, 5))) + Field(15, Fixed(m.Elements(i, 3))) + Field(15, Fixed(m.Elements(i, 6))));

    r.Banner(QStringLiteral("CHECKSUM"));
    r.Line(QStringLiteral("S (+)   = ") + Field(20, Fixed(m.SumPlus)));
    r.Line(QStringLiteral("S (-)   = ") + Field(20, Fixed(m.SumMinus)));
    r.Line(QStringLiteral("S (+,-) = ") + Field(20, Fixed(m.SumTotal)));

    r.Banner(QStringLiteral("BLOCK STRESSES"));
    r.Line(kNodeHeading);
    for (int i = 1; i <= m.BlockCount; ++i)
        r.Line(Field(4, m.Blocks(i, 1).ToText()) + Field(15, Fixed(m.Blocks(i, 4))) + Field(15, Fixed(m.Blocks(i, 5))));
    return r.Text();
}

QString ReportPath(const QString& analysisPath, const QString& analysisTitle)
{
    // The folder is the path without its trailing file name (with its separator kept).
    QString folder;
    if (!analysisTitle.isEmpty() && analysisPath.endsWith(analysisTitle))
        folder = analysisPath.left(analysisPath.size() - analysisTitle.size());
    else
        folder = QFileInfo(analysisPath).path() + QDir::separator();
    const qsizetype dot = analysisTitle.lastIndexOf(u'.');
    if (dot < 0)
        throw ModelError(QStringLiteral("the file name \"%1\" has no extension").arg(analysisTitle));
    return folder + analysisTitle.left(dot) + QStringLiteral(".prn");
}

QString ReportFailureMessage()
{
    return QStringLiteral("Ther was an error writing the output.") + kCrLf
        + QStringLiteral("Please go back and revise your input");
}

bool WriteReport(const TrussModel& model)
{
    if (model.AnalysisPath.isEmpty())
        return false;
    try {
        const QString path = ReportPath(model.AnalysisPath, model.AnalysisTitle);
        const QByteArray bytes = ToAnsi(ReportText(model));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            throw ModelError(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return true;
    } catch (const ModelError&) {
        ShowMessage(ReportFailureMessage(), MsgCritical);
        return false;
    }
}

bool WriteReport()
{
    return WriteReport(Truss());
}

} // namespace ardela
