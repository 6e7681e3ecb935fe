#include "formats/exchange_document.h"
