#include "batch/columns.h"
// Implemented with the store.
