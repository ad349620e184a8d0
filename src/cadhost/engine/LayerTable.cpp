// LayerTable
#include "LayerTable.h"
