#include "platform/os/file_lock.h"
