#pragma once

// Keeps memory that the OpenGL driver frees at the top of the heap for its
// next use instead of handing it back to the system. Mesa's software
// renderer takes and frees a large vertex buffer for every draw call, and
// the HUD makes about five hundred (one per letter): returned and taken
// again each time, the pages fault in anew and a frame takes five times as
// long. Call once at start-up, before any drawing; it changes nothing that
// is drawn.
void keepFreedHeapForReuse();

// A heap that keeps what is freed also keeps the holes that the driver's
// window-sized buffers leave when the window changes size or is made anew;
// buffers of other sizes fit none of them, and over many changes the heap
// creeps up. The platform layer calls windowBuffersChanged whenever a window
// is made or changes size, and returnFreedHeap after each frame it presents:
// the first frame after such a change, once the driver has let the old
// buffers go, gives the free memory back to the system.
void windowBuffersChanged();
void returnFreedHeap();
