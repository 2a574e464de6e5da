#include "app/platform/heap_tuning.h"

#include <malloc.h>

namespace {

// Free memory the heap may hold at its top before it gives any back, and the
// size from which an allocation gets pages of its own (which are returned at
// once when freed). Both far above what one draw call takes.
constexpr int heapTrimThreshold = 64 << 20;  // bytes
constexpr int ownPagesThreshold = 32 << 20;  // bytes

}  // namespace

void keepFreedHeapForReuse() {
    mallopt(M_TRIM_THRESHOLD, heapTrimThreshold);
    mallopt(M_MMAP_THRESHOLD, ownPagesThreshold);
}
