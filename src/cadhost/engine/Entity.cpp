// Entity
#include "Entity.h"
