#pragma once

#include <cstddef>
#include <cstdint>

// The snapshot's header (World::saveState, docs/engine.md, "Snapshots and
// state hashes"): these bytes, then the payload.
//
//   offset  bytes  field
//        0      4  magic, "PRWS"
//        4      4  format version (u32)
//        8      4  bodies (u32)
//       12      4  payload bytes (u32)
//       16      8  FNV-1a 64 of the payload (u64)
//       24         the payload
//
// Every number little-endian.

namespace prallwerk {

constexpr std::uint8_t snapshotMagic[4] = {'P', 'R', 'W', 'S'};
constexpr std::uint32_t snapshotVersion = 1;
constexpr std::size_t snapshotHeaderSize = 24;

}  // namespace prallwerk
