#include "prallwerk/core/box_shape.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "prallwerk/core/turn_memo.h"
#include "prallwerk/math/bits.h"

namespace prallwerk {

float halfDiagonalOf(float width, float length, float height) {
    const double hx = length * 0.5f, hy = width * 0.5f, hz = height * 0.5f;
    return static_cast<float>(std::sqrt(hx * hx + hy * hy + hz * hz));
}

void BoxShape::resetCorners() {
    const float hx = length * 0.5f;
    const float hy = width * 0.5f;
    const float hz = height * 0.5f;
    // Before rotation corner i lies on the + side along x for i = 1, 2, 5, 6,
    // along y for i = 2, 3, 6, 7 and along z for i = 4 to 7, on the - side
    // (the half edge negated, exactly) otherwise.
    const double px = hx, py = hy, pz = hz, nx = -px, ny = -py, nz = -pz;
    corners[0] = {nx, ny, nz};
    corners[1] = {px, ny, nz};
    corners[2] = {px, py, nz};
    corners[3] = {nx, py, nz};
    corners[4] = {nx, ny, pz};
    corners[5] = {px, ny, pz};
    corners[6] = {px, py, pz};
    corners[7] = {nx, py, pz};
    halfLength = hx;
    halfDiagonal = halfDiagonalOf(width, length, height);
}

namespace {

// Turns count corners about x by ax, then y by ay, then z by az; a rotation
// whose angle is exactly 0 is skipped.
void rotate(Vec3* corners, int count, double ax, double ay, double az) {
    if (ax != 0.0) {
        const SinCos turn = rememberedSinCos(ax);
        const double c = turn.cos, s = turn.sin;
        for (int i = 0; i < count; ++i) {
            Vec3& p = corners[i];
            const double y = p.y * c - p.z * s;
            const double z = p.y * s + p.z * c;
            p.y = y;
            p.z = z;
        }
    }
    if (ay != 0.0) {
        const SinCos turn = rememberedSinCos(ay);
        const double c = turn.cos, s = turn.sin;
        for (int i = 0; i < count; ++i) {
            Vec3& p = corners[i];
            const double x = p.x * c + p.z * s;
            const double z = p.z * c - p.x * s;
            p.x = x;
            p.z = z;
        }
    }
    if (az != 0.0) {
        const SinCos turn = rememberedSinCos(az);
        const double c = turn.cos, s = turn.sin;
        for (int i = 0; i < count; ++i) {
            Vec3& p = corners[i];
            const double x = p.x * c - p.y * s;
            const double y = p.x * s + p.y * c;
            p.x = x;
            p.y = y;
        }
    }
}

bool nonZero(const Vec3& v) { return std::fabs(v.x) > 0.0 && std::fabs(v.y) > 0.0 && std::fabs(v.z) > 0.0; }

}  // namespace

void BoxShape::rotateCorners(double ax, double ay, double az) { rotate(corners, 8, ax, ay, az); }

void BoxShape::turnResetCorners(double ax, double ay, double az) {
    // Reset corners come in antipodal pairs, i and i ^ 6. Rounding to nearest
    // is symmetric, so turning -p gives exactly the negation of turning p,
    // except that an exact zero may come out with the other sign (and a NaN
    // with another sign bit). So the bottom four corners are turned and the
    // top four are their negations, unless a zero or NaN makes the shortcut
    // unsafe; then the top four are turned as well.
    rotate(corners, 4, ax, ay, az);
    if (nonZero(corners[0]) && nonZero(corners[1]) && nonZero(corners[2]) && nonZero(corners[3])) {
        for (int i = 0; i < 4; ++i) corners[i ^ 6] = corners[i].negated();
    } else {
        rotate(corners + 4, 4, ax, ay, az);
    }
}

void BoxShape::resetAndTurn(double ax, double ay, double az) {
    const float edges[3] = {width, length, height};
    const uint64_t angles[3] = {bitsOf(ax), bitsOf(ay), bitsOf(az)};
    bool hit;
    TurnedBox& slot = turnedBoxSlot(edges, angles, hit);
    if (hit) {
        std::memcpy(corners, slot.corners, sizeof corners);
        halfLength = length * 0.5f;
        halfDiagonal = slot.halfDiagonal;
        return;
    }
    resetCorners();
    turnResetCorners(ax, ay, az);
    std::memcpy(slot.edges, edges, sizeof slot.edges);
    std::memcpy(slot.angles, angles, sizeof slot.angles);
    std::memcpy(slot.corners, corners, sizeof slot.corners);
    slot.halfDiagonal = halfDiagonal;
    slot.valid = true;
}

Vec3 BoxShape::reorient(double ax, double ay, double az, int pivot) {
    if (pivot == pivotCentre) {
        resetAndTurn(ax, ay, az);
        return {};
    }
    if (pivot < 0 || pivot > 7) return {};
    const Vec3 before = corners[pivot];
    resetAndTurn(ax, ay, az);
    return corners[pivot] - before;
}

int BoxShape::lowestCornerIndex() const {
    int lowest = 0;
    double lowestZ = corners[0].z;
    for (int i = 1; i < 8; ++i) {
        if (lowestZ > corners[i].z) {
            lowest = i;
            lowestZ = corners[i].z;
        }
    }
    return lowest;
}

}  // namespace prallwerk
