#include "formats/working_tables.h"
