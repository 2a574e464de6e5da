#include "app/logic/box_faces.h"

using namespace prallwerk;

const BoxFace boxFaces[boxFaceCount] = {
    {{0, 2, 1}, {{0, 1, 2}, {0, 2, 3}}},  // -z
    {{2, 7, 6}, {{2, 6, 7}, {3, 2, 7}}},  // +y
    {{6, 4, 5}, {{6, 5, 4}, {6, 4, 7}}},  // +z
    {{5, 1, 2}, {{5, 2, 1}, {5, 6, 2}}},  // +x
    {{5, 0, 1}, {{5, 1, 0}, {4, 5, 0}}},  // -y
    {{0, 4, 3}, {{0, 3, 4}, {4, 3, 7}}},  // -x
};

Vec3 faceNormal(const Vec3& a, const Vec3& b, const Vec3& c) {
    Vec3 n;
    n.cross(b - a, c - a);
    return n.normalized();
}
