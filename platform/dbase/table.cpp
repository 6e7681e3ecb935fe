#include "platform/dbase/table.h"
