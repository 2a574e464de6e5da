#include "tools/soak/soak_shared.h"

#include <sys/mman.h>

#include <new>

static_assert(std::atomic<long>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<uint64_t>::is_always_lock_free,
              "the figures are shared between two processes: only lock-free atomics work there");

SoakShared* mapSoakShared() {
    void* page = mmap(nullptr, sizeof(SoakShared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return nullptr;
    return new (page) SoakShared;
}
