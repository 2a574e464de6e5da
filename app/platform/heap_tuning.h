#pragma once

// Keeps memory that the OpenGL driver frees at the top of the heap for its
// next use instead of handing it back to the system. Mesa's software
// renderer takes and frees a large vertex buffer for every draw call, and
// the HUD makes about five hundred (one per letter): returned and taken
// again each time, the pages fault in anew and a frame takes five times as
// long. Call once at start-up, before any drawing; it changes nothing that
// is drawn.
void keepFreedHeapForReuse();
