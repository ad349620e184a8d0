// The analysis files Korrin knows: every kind is the truss file of the program-wide model.
#include "truss/TrussFile.h"

#include "desktop/Settings.h"
#include "truss/TrussModel.h"

namespace ardela {

AnalysisFileKind ProgramFileKind(std::int16_t)
{
    return TrussFileKind(Truss(), Settings());
}

} // namespace ardela
