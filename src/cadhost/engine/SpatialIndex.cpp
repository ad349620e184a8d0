// SpatialIndex
#include "SpatialIndex.h"
