#include "platform/os/local_time.h"
