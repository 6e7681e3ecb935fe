#include "platform/os/ini_file.h"
