// Document
#include "Document.h"
