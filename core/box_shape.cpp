#include "core/box_shape.h"

#include <cmath>

namespace {

// Sign pattern of each corner along x, y, z before rotation.
constexpr int cornerSigns[8][3] = {
    {-1, -1, -1}, {+1, -1, -1}, {+1, +1, -1}, {-1, +1, -1},
    {-1, -1, +1}, {+1, -1, +1}, {+1, +1, +1}, {-1, +1, +1},
};

}  // namespace

void BoxShape::resetCorners() {
    const float hx = length * 0.5f;
    const float hy = width * 0.5f;
    const float hz = height * 0.5f;
    for (int i = 0; i < 8; ++i) {
        corners[i] = {cornerSigns[i][0] * static_cast<double>(hx),
                      cornerSigns[i][1] * static_cast<double>(hy),
                      cornerSigns[i][2] * static_cast<double>(hz)};
    }
    halfLength = hx;
    halfDiagonal = static_cast<float>(corners[0].length());
}

void BoxShape::rotateCorners(double ax, double ay, double az) {
    if (ax != 0.0) {
        const double c = std::cos(ax), s = std::sin(ax);
        for (Vec3& p : corners) {
            const double y = p.y * c - p.z * s;
            const double z = p.y * s + p.z * c;
            p.y = y;
            p.z = z;
        }
    }
    if (ay != 0.0) {
        const double c = std::cos(ay), s = std::sin(ay);
        for (Vec3& p : corners) {
            const double x = p.x * c + p.z * s;
            const double z = p.z * c - p.x * s;
            p.x = x;
            p.z = z;
        }
    }
    if (az != 0.0) {
        const double c = std::cos(az), s = std::sin(az);
        for (Vec3& p : corners) {
            const double x = p.x * c - p.y * s;
            const double y = p.x * s + p.y * c;
            p.x = x;
            p.y = y;
        }
    }
}

Vec3 BoxShape::reorient(double ax, double ay, double az, int pivot) {
    if (pivot == pivotCentre) {
        resetCorners();
        rotateCorners(ax, ay, az);
        return {};
    }
    if (pivot < 0 || pivot > 7) return {};
    const Vec3 before = corners[pivot];
    resetCorners();
    rotateCorners(ax, ay, az);
    return corners[pivot] - before;
}

int BoxShape::lowestCornerIndex() const {
    int lowest = 0;
    for (int i = 1; i < 8; ++i) {
        if (corners[lowest].z > corners[i].z) lowest = i;
    }
    return lowest;
}
