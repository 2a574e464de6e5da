#include "tools/host/host.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

void writeStandardOutputAsBytes() { _setmode(_fileno(stdout), _O_BINARY); }

// Under Wine, where the Windows builds are measured, the process's times
// are not the host's: none is given.
double processCpuSeconds() { return -1.0; }
