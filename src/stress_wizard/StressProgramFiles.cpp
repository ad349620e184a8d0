// The analysis files of the plane-stress program: kind 1 is its own file, any other kind the
// truss file, each over the program-wide model and settings.
#include "truss/AnalysisFile.h"

#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"
#include "truss/TrussModel.h"

namespace ardela {

AnalysisFileKind ProgramFileKind(std::int16_t kind)
{
    if (kind == 1)
        return StressFileKind(Stress(), Settings());
    return TrussFileKind(Truss(), Settings());
}

} // namespace ardela
