#pragma once

// The class factory of the library and the count of what keeps the library in
// use (live controls and factory locks), which DllCanUnloadNow reports.

#include "phasorctl/hosting/interfaces.h"

namespace gyroscribe {

hosting::IClassFactory &phaserFactory();

void serverObjectCreated();
void serverObjectDestroyed();
bool serverInUse();

} // namespace gyroscribe
