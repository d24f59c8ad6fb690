// The host's SET values, as SET('name') reads them. Process-wide, so that a
// test can choose them before a host loads the library.
#pragma once

#include <string>

#include "hostemu/value.h"

namespace hostemu {

// Names in any case; an unknown name reads as the type 'U'.
Value setting(const std::string& name);
void setSetting(const std::string& name, Value v);
// Back to the host's defaults (FDOW 1).
void resetSettings();

}  // namespace hostemu
