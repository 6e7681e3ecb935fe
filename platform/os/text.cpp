#include "platform/os/text.h"
