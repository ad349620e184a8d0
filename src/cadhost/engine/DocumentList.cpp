// DocumentList
#include "DocumentList.h"
