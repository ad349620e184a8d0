// The analysis files of the plane-stress program: kind 1, its own file over the program-wide model
// and settings (the program never asks for another kind).
#include "desktop/AnalysisFile.h"

#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"

namespace ardela {

AnalysisFileKind ProgramFileKind([[maybe_unused]] std::int16_t kind)
{
    Q_ASSERT(kind == 1);
    return StressFileKind(Stress(), Settings());
}

} // namespace ardela
