#pragma once

#include "tests/support/temp_folder.h"

namespace orvida::os::testing {

using orvida::testing::ReadBytes;
using orvida::testing::TempFolder;
using orvida::testing::WriteBytes;

}  // namespace orvida::os::testing
