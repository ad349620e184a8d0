// Vendel's model and its reset.
#include "stress_wizard/StressModel.h"

namespace ardela {

void ResetModel(StressModel& model)
{
    model.VertCount = 0;
    model.HorzCount = 0;
    model.DomainCount = 0;
    model.LineCount = 0;
    model.NodalLoadCount = 0;
    model.GridLines.Clear();
    model.Domains.Clear();
    model.ConstrainedLines.Clear();
    model.NodalLoads.Clear();
    model.AnalysisPath.clear();
    model.AnalysisTitle.clear();
}

void ResetStressResults(StressModel& model)
{
    model.StressPoints.assign(4, {0.0f, 0.0f});
    model.StressValues.assign(1, {0.0f, 0.0f, 0.0f});
}

StressModel& Stress()
{
    static StressModel* model = [] {
        auto* m = new StressModel;
        ResetStressResults(*m);
        return m;
    }();
    return *model;
}

const std::array<QString, 7>& DomainHeadings()
{
    static const std::array<QString, 7> headings = {
        QStringLiteral("Lower x"), QStringLiteral("Lower y"), QStringLiteral("Upper x"), QStringLiteral("Upper y"),
        QStringLiteral("Thickness"), QStringLiteral("E [daN/cm²]"), QStringLiteral("G [daN/cm²]")};
    return headings;
}

const std::array<QString, 5>& LineHeadings()
{
    static const std::array<QString, 5> headings = {QStringLiteral("Start x"), QStringLiteral("Start y"),
                                                    QStringLiteral("End x"), QStringLiteral("End y"),
                                                    QStringLiteral("Code")};
    return headings;
}

} // namespace ardela
