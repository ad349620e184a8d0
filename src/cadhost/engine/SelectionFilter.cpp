// SelectionFilter
#include "SelectionFilter.h"
