// The truss analysis file's layout and its kind.
#include "truss/TrussFile.h"

#include <memory>

#include "desktop/CellIO.h"
#include "desktop/TableIO.h"
#include "truss/TrussModel.h"

namespace ardela {

QByteArray WriteTrussFile(const TrussModel& model, const SettingsArray& settings)
{
    BinaryWriter out;
    out.WriteInt16(model.NodeCount);
    out.WriteInt16(model.ElementCount);
    out.WriteInt16(model.BlockCount);
    out.WriteInt16(model.LoadCount);
    WriteTable(out, model.Nodes);
    WriteTable(out, model.Elements);
    WriteTable(out, model.Blocks);
    WriteTable(out, model.Loads);
    WriteSettings(out, settings);
    return out.Data();
}

void ReadTrussFile(const QByteArray& image, TrussModel& model, SettingsArray& settings)
{
    BinaryReader in(image);
    in.SetLeastSize(LeastFileSize(4, model.Nodes, model.Elements, model.Blocks, model.Loads));
    model.NodeCount = ReadCount(in, "the node count");
    model.ElementCount = ReadCount(in, "the bar count");
    model.BlockCount = ReadCount(in, "the support count");
    model.LoadCount = ReadCount(in, "the load count");
    ReadTable(in, model.Nodes);
    ReadTable(in, model.Elements);
    ReadTable(in, model.Blocks);
    ReadTable(in, model.Loads);
    ReadSettings(in, settings);
    in.ExpectEnd();
}

AnalysisFileKind TrussFileKind(TrussModel& model, SettingsArray& settings)
{
    AnalysisFileKind kind;
    kind.openTitle = QStringLiteral("Open a Korrin file");
    kind.filter = QStringLiteral("Korrin File (*.krn)|*.krn|All Files (*.*)|*.*");
    kind.extension = QStringLiteral("krn");
    kind.path = &model.AnalysisPath;
    kind.title = &model.AnalysisTitle;
    kind.parse = [&model, &settings](const QByteArray& image) -> std::function<void()> {
        // The scratch model is large (17,000 cells): keep it on the heap.
        auto scratch = std::make_shared<TrussModel>();
        auto scratchSettings = std::make_shared<SettingsArray>();
        ReadTrussFile(image, *scratch, *scratchSettings);
        return [&model, &settings, scratch, scratchSettings] {
            model.NodeCount = scratch->NodeCount;
            model.ElementCount = scratch->ElementCount;
            model.BlockCount = scratch->BlockCount;
            model.LoadCount = scratch->LoadCount;
            model.Nodes = scratch->Nodes;
            model.Elements = scratch->Elements;
            model.Blocks = scratch->Blocks;
            model.Loads = scratch->Loads;
            settings = *scratchSettings;
        };
    };
    kind.serialize = [&model, &settings] { return WriteTrussFile(model, settings); };
    return kind;
}

} // namespace ardela
