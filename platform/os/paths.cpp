#include "platform/os/paths.h"
