#pragma once
// Start-up services a program checks before it creates any window: socket support and the
// component/browser runtime. Each reports whether it is usable.

namespace platform {

bool initSocketSupport();
// The socket interface at the requested version.
bool startSockets(int major, int minor);
bool initComponentRuntime();
void endComponentRuntime();

} // namespace platform
