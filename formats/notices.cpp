#include "formats/notices.h"
