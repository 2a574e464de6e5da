#include "app/platform/sdl/heap_tuning.h"

#include <malloc.h>

namespace {

// Free memory the heap may hold at its top before it gives any back: far
// above the 64 KiB vertex buffer that Mesa takes and frees for each draw
// call.
constexpr int heapTrimThreshold = 64 << 20;  // bytes

// The size from which an allocation gets pages of its own, returned at once
// when freed: colour and depth buffers of all but small windows (3 MiB at
// 1024 x 768), far above the vertex buffers.
constexpr int ownPagesThreshold = 1 << 20;  // bytes

bool buffersChanged = false;

}  // namespace

void keepFreedHeapForReuse() {
    mallopt(M_TRIM_THRESHOLD, heapTrimThreshold);
    mallopt(M_MMAP_THRESHOLD, ownPagesThreshold);
}

void windowBuffersChanged() { buffersChanged = true; }

void returnFreedHeap() {
    if (!buffersChanged) return;
    buffersChanged = false;
    malloc_trim(0);
}
