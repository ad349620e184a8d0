// Reading and writing the "*.vdl" layout through the shared cell records.
#include "stress_wizard/StressFile.h"

#include <memory>

#include "desktop/AnalysisFile.h"
#include "desktop/CellIO.h"
#include "desktop/Error.h"
#include "desktop/TableIO.h"
#include "stress_wizard/StressModel.h"

namespace ardela {

namespace {

// The truss analysis file's records: its node, bar, support and load tables (3, 6, 5 and 3 columns
// of 1024 rows) after its four counts, then the 14 settings.
constexpr qsizetype kTrussFileRecords = qsizetype(3 + 6 + 5 + 3) * kTableRows + kSettingCount;

// True when `image` reads whole as a truss analysis file.
bool IsTrussFile(const QByteArray& image)
{
    return ReadsAsRecords(image, 4, kTrussFileRecords);
}

} // namespace

QByteArray WriteStressFile(const StressModel& model, const SettingsArray& settings)
{
    BinaryWriter out;
    out.WriteInt16(model.VertCount);
    out.WriteInt16(model.HorzCount);
    out.WriteInt16(model.DomainCount);
    out.WriteInt16(model.LineCount);
    out.WriteInt16(model.NodalLoadCount);
    WriteTable(out, model.GridLines);
    WriteTable(out, model.Domains);
    WriteTable(out, model.ConstrainedLines);
    WriteTable(out, model.NodalLoads);
    WriteSettings(out, settings);
    return out.Data();
}

void ReadStressFile(const QByteArray& image, StressModel& model, SettingsArray& settings)
{
    BinaryReader in(image);
    in.SetLeastSize(LeastFileSize(5, model.GridLines, model.Domains, model.ConstrainedLines, model.NodalLoads));
    model.VertCount = ReadCount(in, "the vertical gridline count");
    model.HorzCount = ReadCount(in, "the horizontal gridline count");
    model.DomainCount = ReadCount(in, "the subdomain count");
    model.LineCount = ReadCount(in, "the constrained line count");
    model.NodalLoadCount = ReadCount(in, "the load count");
    ReadTable(in, model.GridLines);
    ReadTable(in, model.Domains);
    ReadTable(in, model.ConstrainedLines);
    ReadTable(in, model.NodalLoads);
    ReadSettings(in, settings);
    in.ExpectEnd();
}

AnalysisFileKind StressFileKind(StressModel& model, SettingsArray& settings)
{
    AnalysisFileKind kind;
    kind.openTitle = QStringLiteral("Open a Vendel file");
    kind.filter = QStringLiteral("Vendel File (*.vdl)|*.vdl|All Files (*.*)|*.*");
    kind.extension = QStringLiteral("vdl");
    kind.path = &model.AnalysisPath;
    kind.title = &model.AnalysisTitle;
    kind.parse = [&model, &settings](const QByteArray& image) -> std::function<void()> {
        auto scratch = std::make_shared<StressModel>();
        auto scratchSettings = std::make_shared<SettingsArray>();
        try {
            ReadStressFile(image, *scratch, *scratchSettings);
        } catch (const ModelError&) {
            if (IsTrussFile(image))
                throw ModelError(QStringLiteral("this is a Korrin truss analysis (*.krn), not a Vendel plane-stress analysis (*.vdl)"));
            throw;
        }
        return [&model, &settings, scratch, scratchSettings] {
            model.VertCount = scratch->VertCount;
            model.HorzCount = scratch->HorzCount;
            model.DomainCount = scratch->DomainCount;
            model.LineCount = scratch->LineCount;
            model.NodalLoadCount = scratch->NodalLoadCount;
            model.GridLines = scratch->GridLines;
            model.Domains = scratch->Domains;
            model.ConstrainedLines = scratch->ConstrainedLines;
            model.NodalLoads = scratch->NodalLoads;
            settings = *scratchSettings;
        };
    };
    kind.serialize = [&model, &settings] { return WriteStressFile(model, settings); };
    return kind;
}

} // namespace ardela
