#pragma once

// What the tools need of the operating system they run on, one source file
// per system (posix.cpp, windows.cpp), the one the build is for linked in.

// Standard output takes the bytes as written: no carriage return added
// before each line end where the C library would add one. Call before
// anything is written.
void writeStandardOutputAsBytes();

// CPU time that the process has used so far, seconds; negative where the
// system's figure is not taken.
double processCpuSeconds();
