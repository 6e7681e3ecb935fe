#include "platform/xml/xml_document.h"
