// A shared library that loads but has no plug-in entry, for the host's load failures.
#include "sdk/platform/platform.h"

extern "C" ORB_EXPORT int orb_not_a_plugin() { return 0; }
