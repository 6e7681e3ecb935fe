#include "timetable/timetable_run.h"
