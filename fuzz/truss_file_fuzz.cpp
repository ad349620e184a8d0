// libFuzzer target: the truss analysis-file reader must reject any byte image it cannot read
// with ModelError, never crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <QByteArray>

#include "AnalysisFile.h"
#include "Error.h"
#include "TrussModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto model = std::make_unique<ardela::TrussModel>();
    ardela::SettingsArray settings;
    const QByteArray image = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        ardela::ReadTrussFile(image, *model, settings);
        // A file that reads must write back to the same bytes.
        if (ardela::WriteTrussFile(*model, settings) != image)
            __builtin_trap();
    } catch (const ardela::ModelError&) {
    }
    return 0;
}
