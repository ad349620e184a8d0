// DxfFile
#include "DxfFile.h"
