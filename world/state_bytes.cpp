#include "prallwerk/world/state_bytes.h"

#include <cstring>

#include "prallwerk/math/bits.h"

namespace prallwerk {

std::uint64_t fnv1a64(const std::uint8_t* bytes, std::size_t size, std::uint64_t hash) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

void StateWriter::u32(std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out_.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

void StateWriter::u64(std::uint64_t v) {
    for (int k = 0; k < 8; ++k) out_.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

void StateWriter::f32(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    u32(b);
}

void StateWriter::f64(double v) { u64(bitsOf(v)); }

void StateWriter::body(const RigidBody& b) {
    i32(b.kind);
    f32(b.mass);
    for (const Vec3* v : {&b.position, &b.spin, &b.angles, &b.velocity, &b.force}) vec(*v);
    f32(b.radius);
    f32(b.restitution);
    f32(b.floorHeight);
    for (const Vec3& c : b.box.corners) vec(c);
    for (float f : {b.box.width, b.box.length, b.box.height, b.box.halfLength, b.box.halfDiagonal}) f32(f);
    for (double q : {b.orientation.w, b.orientation.x, b.orientation.y, b.orientation.z}) f64(q);
    f32(b.friction);
    u8((b.fixed ? 1u : 0u) | (b.halfFirstPart ? 2u : 0u));
    f32(b.restingFor);
}

unsigned StateReader::u8() {
    if (offset_ + 1 > size_) {
        overrun_ = true;
        return 0;
    }
    return bytes_[offset_++];
}

std::uint32_t StateReader::u32() {
    if (offset_ + 4 > size_) {
        overrun_ = true;
        return 0;
    }
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= std::uint32_t{bytes_[offset_++]} << (8 * k);
    return v;
}

std::uint64_t StateReader::u64() {
    if (offset_ + 8 > size_) {
        overrun_ = true;
        return 0;
    }
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v |= std::uint64_t{bytes_[offset_++]} << (8 * k);
    return v;
}

float StateReader::f32() {
    const std::uint32_t b = u32();
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

double StateReader::f64() { return fromBits(u64()); }

bool StateReader::body(RigidBody& b) {
    b.kind = i32();
    b.mass = f32();
    for (Vec3* v : {&b.position, &b.spin, &b.angles, &b.velocity, &b.force}) *v = vec();
    b.radius = f32();
    b.restitution = f32();
    b.floorHeight = f32();
    for (Vec3& c : b.box.corners) c = vec();
    for (float* f : {&b.box.width, &b.box.length, &b.box.height, &b.box.halfLength, &b.box.halfDiagonal}) *f = f32();
    for (double* q : {&b.orientation.w, &b.orientation.x, &b.orientation.y, &b.orientation.z}) *q = f64();
    b.friction = f32();
    const unsigned flags = u8();
    b.fixed = (flags & 1u) != 0;
    b.halfFirstPart = (flags & 2u) != 0;
    b.restingFor = f32();
    return flags <= 3;
}

}  // namespace prallwerk
