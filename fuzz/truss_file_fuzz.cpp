// libFuzzer target: the truss analysis-file reader must reject any byte image it cannot read
// with ModelError, never crash, hang or read out of bounds; what it reads must write back to a
// file that reads as the same model and writes back to the same bytes. (The writer stores true
// as all bits set: a foreign non-zero boolean reads as true and is written in that form.)
#include <cstddef>
#include <cstdint>
#include <memory>

#include <QByteArray>

#include "truss/AnalysisFile.h"
#include "desktop/Error.h"
#include "truss/TrussModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto model = std::make_unique<ardela::TrussModel>();
    static auto again = std::make_unique<ardela::TrussModel>();
    ardela::SettingsArray settings;
    ardela::SettingsArray settingsAgain;
    const QByteArray image = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        ardela::ReadTrussFile(image, *model, settings);
        const QByteArray written = ardela::WriteTrussFile(*model, settings);
        ardela::ReadTrussFile(written, *again, settingsAgain);
        const bool same = again->NodeCount == model->NodeCount && again->ElementCount == model->ElementCount
            && again->BlockCount == model->BlockCount && again->LoadCount == model->LoadCount
            && again->Nodes == model->Nodes && again->Elements == model->Elements && again->Blocks == model->Blocks
            && again->Loads == model->Loads && settingsAgain == settings;
        if (!same || ardela::WriteTrussFile(*again, settingsAgain) != written)
            __builtin_trap();
    } catch (const ardela::ModelError&) {
    }
    return 0;
}
