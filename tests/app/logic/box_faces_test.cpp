#include "app/logic/box_faces.h"

#include <gtest/gtest.h>

#include <set>

#include "prallwerk/core/box_shape.h"

using namespace prallwerk;

namespace {

double triangleArea(const Vec3& a, const Vec3& b, const Vec3& c) {
    Vec3 n;
    return 0.5 * n.cross(b - a, c - a).length();
}

TEST(FaceNormal, IsTheUnitCrossProductOfTheTwoEdgesFromA) {
    const Vec3 n = faceNormal({1.0, 1.0, 1.0}, {3.0, 1.0, 1.0}, {1.0, 1.0, 4.0});
    EXPECT_EQ(n.x, 0.0);
    EXPECT_EQ(n.y, -1.0);
    EXPECT_EQ(n.z, 0.0);

    const Vec3 slanted = faceNormal({0.0, 0.0, 0.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 1.0});
    EXPECT_NEAR(slanted.length(), 1.0, 1e-15);
    EXPECT_NEAR(slanted.y, -slanted.z, 1e-15);
    EXPECT_GT(slanted.z, 0.0);
}

TEST(FaceNormal, DegenerateCornersGiveTheZeroVector) {
    for (const Vec3& n : {faceNormal({1.0, 2.0, 3.0}, {1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}),
                          faceNormal({0.0, 0.0, 0.0}, {1.0, 1.0, 1.0}, {2.0, 2.0, 2.0})}) {
        EXPECT_EQ(n.x, 0.0);
        EXPECT_EQ(n.y, 0.0);
        EXPECT_EQ(n.z, 0.0);
    }
}

// Axis and sign of each face before rotation, in table order.
struct FaceSide {
    int axis;
    double sign;
};
const FaceSide faceSides[boxFaceCount] = {{2, -1.0}, {1, 1.0}, {2, 1.0}, {0, 1.0}, {1, -1.0}, {0, -1.0}};

double component(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

TEST(BoxFaces, EachFaceIsTwoTrianglesOverItsFourCornersWithItsOutwardNormal) {
    BoxShape box;
    box.length = 2.0f;  // x
    box.width = 4.0f;   // y
    box.height = 6.0f;  // z
    box.resetCorners();
    const double faceArea[3] = {4.0 * 6.0, 2.0 * 6.0, 2.0 * 4.0};  // by the axis the face is across

    for (int f = 0; f < boxFaceCount; ++f) {
        const BoxFace& face = boxFaces[f];
        const FaceSide side = faceSides[f];
        std::set<int> onFace;
        for (int c = 0; c < 8; ++c) {
            if (component(box.corners[c], side.axis) * side.sign > 0.0) onFace.insert(c);
        }
        std::set<int> used(std::begin(face.normalCorners), std::end(face.normalCorners));
        double area = 0.0;
        for (const auto& t : face.triangles) {
            used.insert(std::begin(t), std::end(t));
            area += triangleArea(box.corners[t[0]], box.corners[t[1]], box.corners[t[2]]);
        }
        EXPECT_EQ(used, onFace) << "face " << f;
        EXPECT_DOUBLE_EQ(area, faceArea[side.axis]) << "face " << f;

        const Vec3 n = faceNormal(box.corners[face.normalCorners[0]], box.corners[face.normalCorners[1]],
                                  box.corners[face.normalCorners[2]]);
        EXPECT_EQ(component(n, side.axis), side.sign) << "face " << f;
    }
}

TEST(BoxFaces, NormalsStayOutwardWhenTheBoxTurns) {
    BoxShape box;
    box.length = box.width = box.height = 2.0f;
    box.resetCorners();
    box.rotateCorners(0.7, -1.9, 2.6);
    for (int f = 0; f < boxFaceCount; ++f) {
        const BoxFace& face = boxFaces[f];
        const Vec3 n = faceNormal(box.corners[face.normalCorners[0]], box.corners[face.normalCorners[1]],
                                  box.corners[face.normalCorners[2]]);
        Vec3 centre;
        for (const auto& t : face.triangles) {
            for (int c : t) centre = centre + (1.0 / 6.0) * box.corners[c];
        }
        // The face's centre lies one half-edge out along its normal.
        EXPECT_NEAR(dot(n, centre), 1.0, 1e-9) << "face " << f;
        EXPECT_NEAR(n.length(), 1.0, 1e-12) << "face " << f;
    }
}

}  // namespace
