#pragma once

#include <cstdint>
#include <cstring>

#include "prallwerk/math/bits.h"
#include "prallwerk/math/trig.h"
#include "prallwerk/math/vec3.h"

// Memos of the turns that box_shape.cpp computes: for its use alone. Inline,
// so that a lookup costs no call.
//
// Resting boxes are turned to the same angles step after step, a box that
// spins about one axis keeps its other two angles, and the impact searches
// pose the same boxes at the same angles again and again. Both memos are
// keyed by the exact bits of what the result is computed from and hand back
// exactly what was computed for them, so no result depends on whether they
// hit.
//
// They are per thread: a memo shared by worlds stepped on different threads
// would need a lock on every turn, and a lost race would hand one thread the
// corners of another's box. Per thread, each thread keeps its own recent
// turns, which are the ones it asks for again.

namespace prallwerk {

// The corners of a box with these edge lengths, reset and turned to these
// angles, as remembered.
struct TurnedBox {
    float edges[3] = {0, 0, 0};  // width, length, height
    uint64_t angles[3] = {0, 0, 0};
    bool valid = false;
    float halfDiagonal = 0.0f;  // of the edges, so that a hit needs no square root
    Vec3 corners[8];
};

// Two boxes whose keys share a set both stay: with one slot per key, two
// resting boxes that are posed every step could evict each other every step.
struct TurnedBoxSet {
    TurnedBox way[2];
    int recent = 0;  // the way used last; a miss replaces the other
};
inline constexpr int turnedBoxSets = 32;
inline thread_local TurnedBoxSet turnedBoxMemo[turnedBoxSets];

struct TurnAngle {
    uint64_t angle = 0;
    SinCos turn;
};
// Enough for every angle a pass of a large world turns its boxes to: the pair
// searches turn boxes to their angles at the pass's limit, and when the
// ground impact ends the pass there, free flight turns them to the same
// angles again (96 KiB a thread).
inline constexpr int turnAngleBits = 12;
inline constexpr int turnAngleSlots = 1 << turnAngleBits;
inline thread_local TurnAngle turnAngleMemo[turnAngleSlots];

// The memo slot for a box's edges and the bits of its angles. hit tells
// whether it holds them; on a miss the slot is the one to fill.
inline TurnedBox& turnedBoxSlot(const float edges[3], const uint64_t angles[3], bool& hit) {
    uint32_t e[3];
    std::memcpy(e, edges, sizeof e);
    uint64_t h = angles[0] * 0x9E3779B97F4A7C15ull ^ angles[1] * 0xC2B2AE3D27D4EB4Full ^
                 angles[2] * 0x165667B19E3779F9ull ^ (uint64_t{e[0]} << 32 | e[1]) ^ e[2];
    h ^= h >> 29;
    TurnedBoxSet& set = turnedBoxMemo[h % turnedBoxSets];
    for (int w = 0; w < 2; ++w) {
        TurnedBox& slot = set.way[w];
        if (slot.valid && slot.angles[0] == angles[0] && slot.angles[1] == angles[1] &&
            slot.angles[2] == angles[2] && std::memcmp(slot.edges, edges, sizeof slot.edges) == 0) {
            set.recent = w;
            hit = true;
            return slot;
        }
    }
    hit = false;
    set.recent ^= 1;
    return set.way[set.recent];
}

// sinCos(angle), remembered by the angle's bits.
inline SinCos rememberedSinCos(double angle) {
    const uint64_t bits = bitsOf(angle);
    // The zero slot key is +0.0, which the turns never ask for, and whose
    // default SinCos is right anyway.
    TurnAngle& slot = turnAngleMemo[(bits * 0x9E3779B97F4A7C15ull) >> (64 - turnAngleBits)];
    if (slot.angle != bits) {
        slot.angle = bits;
        slot.turn = sinCos(angle);
    }
    return slot.turn;
}

}  // namespace prallwerk
