// Linetypes
#include "Linetypes.h"
