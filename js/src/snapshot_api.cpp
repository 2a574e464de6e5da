// Snapshots for the JavaScript module: the world's saved state, restored bit
// for bit, and its hash.
//
// The refusal comes back as tryRestoreState's message, not as restoreState's
// exception: Emscripten's caught exceptions each left their object on the
// heap (72 bytes a refused snapshot), and without exception catching the
// module is smaller.

#include <emscripten/emscripten.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "glue.h"
#include "world_handle.h"

using namespace prallwerk;
using namespace prallwerk::js;

namespace {

std::vector<std::uint8_t> savedBytes;
std::uint64_t savedHash = 0;

}  // namespace

extern "C" {

// The world's state (World::saveState); its size in pw_saved_size(). Valid
// until the next save.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* pw_world_save(WorldHandle* h) {
    savedBytes = h->world->saveState();
    return savedBytes.data();
}

EMSCRIPTEN_KEEPALIVE int pw_saved_size() { return static_cast<int>(savedBytes.size()); }

// The state the bytes hold, or 0 with the engine's message and the world as
// it was.
EMSCRIPTEN_KEEPALIVE int pw_world_restore(WorldHandle* h, const std::uint8_t* bytes, int size) {
    if (std::optional<std::string> refusal = h->world->tryRestoreState(bytes, static_cast<std::size_t>(size))) {
        setError(std::move(*refusal));
        return 0;
    }
    h->mirror();
    return 1;
}

// The hash of the world's state (World::stateHash), left in memory for the
// module to read as one 64-bit number.
EMSCRIPTEN_KEEPALIVE const std::uint64_t* pw_world_hash(WorldHandle* h) {
    savedHash = h->world->stateHash();
    return &savedHash;
}

}  // extern "C"
