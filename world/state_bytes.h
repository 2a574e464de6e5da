#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// The bytes of a snapshot (World::saveState): every number little-endian,
// written and read byte by byte, doubles and floats by their exact bits, so
// that a snapshot is the same bytes on every platform whatever its byte
// order, and reads back to the same bits.

// FNV-1a over bytes, 64 bits, continued from hash.
constexpr std::uint64_t fnvOffsetBasis = 0xcbf29ce484222325ull;
std::uint64_t fnv1a64(const std::uint8_t* bytes, std::size_t size, std::uint64_t hash = fnvOffsetBasis);

class StateWriter {
public:
    explicit StateWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void u8(unsigned v) { out_.push_back(static_cast<std::uint8_t>(v)); }
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v);
    void f64(double v);
    void vec(const Vec3& v) {
        f64(v.x);
        f64(v.y);
        f64(v.z);
    }
    // Every field of the body, in the order of the record (docs/engine.md,
    // "Snapshots and state hashes").
    void body(const RigidBody& b);

private:
    std::vector<std::uint8_t>& out_;
};

// Reads what a StateWriter wrote. A read past the end reads zeros and marks
// the reader overrun: the caller checks once, after the fields it wanted.
class StateReader {
public:
    StateReader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    unsigned u8();
    std::uint32_t u32();
    std::uint64_t u64();
    int i32() { return static_cast<int>(u32()); }
    float f32();
    double f64();
    Vec3 vec() {
        const double x = f64();
        const double y = f64();
        return {x, y, f64()};
    }
    // Every field of a body record into b; false when its flags byte has a
    // bit beside fixed (1) and halfFirstPart (2) (no snapshot writes that).
    bool body(RigidBody& b);

    std::size_t offset() const { return offset_; }
    bool overrun() const { return overrun_; }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool overrun_ = false;
};

// The bytes of a body record: StateWriter::body writes exactly these.
constexpr std::size_t bodyRecordSize = 4 + 4 + 5 * 24 + 3 * 4 + 8 * 24 + 5 * 4 + 4 * 8 + 4 + 1 + 4;
// Where in it the flags byte is: fixed (1), halfFirstPart (2).
constexpr std::size_t flagsOffset = bodyRecordSize - 5;
// The bytes of a kept contact in the snapshot: partner, point, three impulses.
constexpr std::size_t contactRecordSize = 4 + 24 + 3 * 8;

}  // namespace prallwerk
