#include "prallwerk/collision/contact_manifold.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace prallwerk;

namespace {

const double r2 = std::sqrt(2.0);

struct Axes {
    Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
};
Axes turnedX(double t) { return {{1, 0, 0}, {0, std::cos(t), std::sin(t)}, {0, -std::sin(t), std::cos(t)}}; }
Axes turnedY(double t) { return {{std::cos(t), 0, -std::sin(t)}, {0, 1, 0}, {std::sin(t), 0, std::cos(t)}}; }
Axes turnedZ(double t) { return {{std::cos(t), std::sin(t), 0}, {-std::sin(t), std::cos(t), 0}, {0, 0, 1}}; }
// The cube's diagonal x + y + z stands upright: each axis rises by 1/sqrt(3),
// their level parts 120 degrees apart.
Axes diagonalUp() {
    Axes a;
    Vec3* axis[3] = {&a.x, &a.y, &a.z};
    for (int k = 0; k < 3; ++k) {
        const double t = 2.0943951023931953 * k, level = std::sqrt(2.0 / 3.0);
        *axis[k] = {level * std::cos(t), level * std::sin(t), 1.0 / std::sqrt(3.0)};
    }
    return a;
}

ShapePose sphere(Vec3 c, double r) {
    ShapePose s;
    s.kind = kindSphere;
    s.centre = c;
    s.radius = r;
    return s;
}

ShapePose box(Vec3 c, Vec3 half, Axes axes = {}) {
    ShapePose s;
    s.kind = kindBox;
    s.centre = c;
    s.frame.axis[0] = axes.x;
    s.frame.axis[1] = axes.y;
    s.frame.axis[2] = axes.z;
    s.frame.half[0] = half.x;
    s.frame.half[1] = half.y;
    s.frame.half[2] = half.z;
    return s;
}

double distance(const Vec3& a, const Vec3& b) { return (a - b).length(); }

// The manifold has exactly these points, in any order, all at this depth.
void expectPoints(const ContactManifold& m, const std::vector<Vec3>& points, double depth, const char* what) {
    ASSERT_EQ(m.count, static_cast<int>(points.size())) << what;
    bool used[4] = {};
    for (const Vec3& p : points) {
        int match = -1;
        for (int i = 0; i < m.count; ++i) {
            if (!used[i] && distance(m.points[i].position, p) < 1e-12) match = i;
        }
        ASSERT_GE(match, 0) << what << ": no point at " << p.x << " " << p.y << " " << p.z;
        used[match] = true;
        EXPECT_NEAR(m.points[match].depth, depth, 1e-12) << what;
    }
}

void expectNormal(const ContactManifold& m, const Vec3& n, const char* what) {
    EXPECT_LT(distance(m.normal, n), 1e-12) << what << ": " << m.normal.x << " " << m.normal.y << " " << m.normal.z;
}

// The same corners in the order the ground contact gives them.
void expectCorners(const ContactManifold& m, const std::vector<Vec3>& points, const std::vector<double>& depths,
                   const char* what) {
    ASSERT_EQ(m.count, static_cast<int>(points.size())) << what;
    for (int i = 0; i < m.count; ++i) {
        EXPECT_LT(distance(m.points[i].position, points[i]), 1e-12) << what << " point " << i;
        EXPECT_NEAR(m.points[i].depth, depths[i], 1e-12) << what << " point " << i;
    }
}

}  // namespace

// A box on the top face (z = 0.5) of a lower, larger one: the points are the
// corners of the overlap of the two faces, midway between them.
TEST(BoxContact, FaceOnFaceGivesTheOverlapsCorners) {
    const ShapePose floorOnZ = box({0, 0, 0}, {2, 2, 0.5});
    const double cs = std::cos(0.3), sn = std::sin(0.3);
    const double low = 1.0 - 0.5 * (cs + sn);  // the tilted cube's low edge, over its centre at 1
    struct Case {
        const char* what;
        ShapePose top;
        double margin;
        std::vector<Vec3> points;
        double depth;
    } cases[] = {
        {"resting inside the face", box({0.25, -0.5, 0.875}, {0.5, 0.5, 0.5}), 0.0,
         {{-0.25, -1, 0.4375}, {0.75, -1, 0.4375}, {0.75, 0, 0.4375}, {-0.25, 0, 0.4375}}, 0.125},
        {"over a corner", box({1.75, 1.75, 0.875}, {0.5, 0.5, 0.5}), 0.0,
         {{1.25, 1.25, 0.4375}, {2, 1.25, 0.4375}, {2, 2, 0.4375}, {1.25, 2, 0.4375}}, 0.125},
        {"over a side, flat and long", box({-2.25, 0, 0.625}, {1, 0.75, 0.25}), 0.0,
         {{-2, -0.75, 0.4375}, {-1.25, -0.75, 0.4375}, {-1.25, 0.75, 0.4375}, {-2, 0.75, 0.4375}}, 0.125},
        {"turned 45 degrees about z", box({0, 0, 0.875}, {0.5, 0.5, 0.5}, turnedZ(std::atan(1.0))), 0.0,
         {{0.5 * r2, 0, 0.4375}, {0, 0.5 * r2, 0.4375}, {-0.5 * r2, 0, 0.4375}, {0, -0.5 * r2, 0.4375}}, 0.125},
        {"above by less than the margin", box({0, 0, 1.0625}, {0.5, 0.5, 0.5}), 0.1,
         {{-0.5, -0.5, 0.53125}, {0.5, -0.5, 0.53125}, {0.5, 0.5, 0.53125}, {-0.5, 0.5, 0.53125}}, -0.0625},
        {"above by the margin exactly", box({0, 0, 1.0625}, {0.5, 0.5, 0.5}), 0.0625,
         {{-0.5, -0.5, 0.53125}, {0.5, -0.5, 0.53125}, {0.5, 0.5, 0.53125}, {-0.5, 0.5, 0.53125}}, -0.0625},
        {"above by more than the margin", box({0, 0, 1.0625}, {0.5, 0.5, 0.5}), 0.05, {}, 0.0},
        {"tilted, a low corner on the floor's side", box({0, 1.5, 1}, {0.5, 0.5, 0.5}, turnedY(0.3)), 0.1,
         {{0.5 * (cs - sn), 1, 0.5 * (0.5 + low)}, {0.5 * (cs - sn), 2, 0.5 * (0.5 + low)}}, 0.5 - low},
        {"lying on its side", box({0, 0, 0.625}, {0.25, 1, 0.5}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}), 0.0,
         {{-1, -0.5, 0.4375}, {1, -0.5, 0.4375}, {1, 0.5, 0.4375}, {-1, 0.5, 0.4375}}, 0.125},
        {"tilted: the high edge beyond the margin", box({0, 0, 1}, {0.5, 0.5, 0.5}, turnedY(0.3)), 0.1,
         {{0.5 * (cs - sn), -0.5, 0.5 * (0.5 + low)}, {0.5 * (cs - sn), 0.5, 0.5 * (0.5 + low)}}, 0.5 - low},
    };
    // The same floor told with its x axis up, so that its x face is the one met.
    const ShapePose floorOnX = box({0, 0, 0}, {0.5, 2, 2}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}});
    for (const Case& c : cases) {
        for (const ShapePose& floor : {floorOnZ, floorOnX}) {
            const ContactManifold m = contactBetween(c.top, floor, c.margin);
            expectPoints(m, c.points, c.depth, c.what);
            if (m.count > 0) expectNormal(m, {0, 0, 1}, c.what);
            // The other way round the lower box's face clips the upper's.
            const ContactManifold swapped = contactBetween(floor, c.top, c.margin);
            expectPoints(swapped, c.points, c.depth, c.what);
            if (swapped.count > 0) expectNormal(swapped, {0, 0, -1}, c.what);
        }
    }
}

// Two equal cubes, one turned 45 degrees about z: their faces overlap in a
// regular octagon (small, so that no area or distance in it reaches 1), of
// which four corners remain, every other one, as the deepest, the farthest
// from it and the widest on either side give them.
TEST(BoxContact, AnOctagonOfPointsIsReducedToFour) {
    const Vec3 axis{2.5, -1.5, 0};  // the octagon's centre
    const ShapePose lower = box(axis, {0.25, 0.25, 0.25});
    const ShapePose upper = box(axis + Vec3{0, 0, 0.4375}, {0.25, 0.25, 0.25}, turnedZ(std::atan(1.0)));
    for (const auto& [a, b] : {std::pair{upper, lower}, std::pair{lower, upper}}) {
        const ContactManifold m = contactBetween(a, b, 0.0);
        ASSERT_EQ(m.count, 4);
        int parity = -1;
        bool seen[8] = {};
        for (const ContactPoint& point : m.points) {
            const Vec3 p = point.position - axis;
            EXPECT_NEAR(point.depth, 0.0625, 1e-12);
            EXPECT_NEAR(p.z, 0.21875, 1e-12);
            // The octagon's corners lie at sqrt(4 - 2 sqrt 2) half edges
            // from its centre, at 22.5 degrees and every 45 from there.
            EXPECT_NEAR(std::hypot(p.x, p.y), 0.25 * std::sqrt(4.0 - 2.0 * r2), 1e-12);
            const double eighths = (std::atan2(p.y, p.x) / std::atan(1.0) + 8.0 - 0.5);
            const int corner = static_cast<int>(std::lround(eighths)) % 8;
            EXPECT_NEAR(eighths, std::round(eighths), 1e-9);
            EXPECT_FALSE(seen[corner]);
            seen[corner] = true;
            if (parity < 0) parity = corner % 2;
            EXPECT_EQ(corner % 2, parity);
        }
    }
}

// A bar along x stands on an edge (turned 45 degrees about x) under a bar
// along y standing on an edge the other way: their edges cross, and the one
// point lies midway between them at the crossing.
TEST(BoxContact, CrossedEdgesGiveOnePointAtTheCrossing) {
    const ShapePose under = box({0, 0, 0}, {2, 0.5, 0.5}, turnedX(std::atan(1.0)));
    const double z = r2 - 0.125;  // the upper bar's centre: its edge 0.125 below the lower's
    const double high = r2 + 0.125;   // its edge 0.125 above
    struct Case {
        Vec3 at;
        double margin;
        int count;
        Vec3 crossing;
        double depth;
    } cases[] = {
        {{0, 0, z}, 0.0, 1, {0, 0, 0.5 * z}, 0.125},
        {{0.3, -0.4, z}, 0.0, 1, {0.3, 0, 0.5 * z}, 0.125},
        {{-1.5, 1.75, z}, 0.0, 1, {-1.5, 0, 0.5 * z}, 0.125},
        {{0.3, -0.4, high}, 0.25, 1, {0.3, 0, 0.5 * high}, -0.125},
        {{0.3, -0.4, high}, 0.0625, 0, {}, 0.0},
    };
    // The upper bar told twice: its long edge its y axis, then its x axis.
    const Axes t = turnedY(std::atan(1.0));
    for (const Case& c : cases) {
        for (const ShapePose& over : {box(c.at, {0.5, 2, 0.5}, t), box(c.at, {2, 0.5, 0.5}, {t.y, t.z, t.x})}) {
            const ContactManifold m = contactBetween(over, under, c.margin);
            expectPoints(m, c.count ? std::vector<Vec3>{c.crossing} : std::vector<Vec3>{}, c.depth, "crossed edges");
            expectNormal(m, {0, 0, 1}, "crossed edges");
        }
    }
}

// A cube on another, turned 0.125 about z and tilted about x: an edge axis
// overlaps less than the face it rests on, by 1.2 mm at a tilt of 0.05 (the
// face is kept, its points clipped) and by 2.3 mm at 0.1 (clearly less, but
// the edge lies across the face). The raw least axis is the classic rules'
// box test's.
TEST(BoxContact, AFaceIsKeptUnlessAnEdgeOverlapsClearlyLess) {
    const ShapePose lower = box({0, 0, 0}, {0.5, 0.5, 0.5});
    const double overlap = 0.015625;  // along z, the lower cube's face axis
    for (const double tilt : {0.05, 0.1}) {
        const Axes yawed = turnedZ(0.125);
        Axes a;
        Vec3* axes[3] = {&a.x, &a.y, &a.z};
        const Vec3* from[3] = {&yawed.x, &yawed.y, &yawed.z};
        for (int k = 0; k < 3; ++k) {
            const Vec3& v = *from[k];
            *axes[k] = {v.x, v.y * std::cos(tilt) - v.z * std::sin(tilt), v.y * std::sin(tilt) + v.z * std::cos(tilt)};
        }
        const double reach = 0.5 * (std::fabs(a.x.z) + std::fabs(a.y.z) + std::fabs(a.z.z));
        const ShapePose upper = box({-0.25, 0.125, 0.5 + reach - overlap}, {0.5, 0.5, 0.5}, a);
        const Overlap least = boxAgainstBox(upper.centre - lower.centre, upper.frame, lower.frame, 1.0).least;
        ASSERT_LT(least.depth, overlap - 0.001);
        ASSERT_GT(distance(least.normal, {0, 0, 1}), 1e-3);
        const ContactManifold m = contactBetween(upper, lower, 0.0);
        if (tilt == 0.05) {
            expectNormal(m, {0, 0, 1}, "the face kept");
            EXPECT_GE(m.count, 2);
            for (int i = 0; i < m.count; ++i) EXPECT_LE(m.points[i].depth, overlap + 1e-15);
        } else {
            // The edge pair's axis is the face's, tilted 0.7 degrees: the
            // cube's low edge lies across the face, from its bound, as deep
            // as the edge pair's overlap, up to its other end.
            expectNormal(m, {0, 0, 1}, "the edge across the face");
            ASSERT_EQ(m.count, 2);
            const double deep = std::max(m.points[0].depth, m.points[1].depth);
            EXPECT_NEAR(deep, least.depth, 1e-5);
            EXPECT_LT(std::min(m.points[0].depth, m.points[1].depth), deep - 0.005);
        }
    }
}

// A box overhangs the end of a slab (x = 1), tilted down beyond it by 0.1
// and then turned 0.3 about z, its bottom 1 cm below the slab's top where it
// crosses the centre line: the slab's end edge lies across the box's bottom
// face, so the contact is where that edge meets the face's sides, one point
// on each side of the box, each as deep as the box's face lies below the
// slab's top there. (The edge pair across them overlaps least: its one point
// alone lets the box rock from side to side about the edge.)
TEST(BoxContact, AnEdgeAcrossAFaceGivesBothEndsOfItsStretch) {
    const double tilt = 0.1, turn = 0.3, below = 0.02, cx = 1.3;
    const ShapePose slab = box({0, 0, 0}, {1, 1, 0.1});
    Axes a = turnedY(tilt);
    for (Vec3* v : {&a.x, &a.y, &a.z}) {
        *v = {v->x * std::cos(turn) - v->y * std::sin(turn), v->x * std::sin(turn) + v->y * std::cos(turn), v->z};
    }
    // The slab's end at y = 0, (1, 0, 0.1), lies below inside the box's
    // bottom: (1 - cx) n.x + (0.1 - cz) n.z = -0.1 + below along its normal n.
    const double cz = 0.1 + ((1.0 - cx) * a.z.x + 0.1 - below) / a.z.z;
    const ShapePose upper = box({cx, 0, cz}, {0.5, 0.25, 0.1}, a);
    const Overlap least = boxAgainstBox(upper.centre - slab.centre, upper.frame, slab.frame, 1.0).least;
    ASSERT_GT(distance(least.normal, a.z), 1e-3) << "an edge pair overlaps least";
    const ContactManifold m = contactBetween(upper, slab, 0.0);
    expectNormal(m, a.z, "the box's bottom face");
    ASSERT_EQ(m.count, 2);
    for (const double side : {-0.25, 0.25}) {
        // Where the slab's end (1, y, 0.1) meets the side of the box,
        // moved halfway down to the box's bottom.
        const Vec3 r{1.0 - cx, 0.0, 0.1 - cz};
        const double y = (side - dot(r, a.y)) / a.y.y;
        const double depth = below + y * a.z.y;
        const Vec3 at = Vec3{1.0, y, 0.1} - (0.5 * depth) * a.z;
        int found = 0;
        for (int i = 0; i < m.count; ++i) {
            if (distance(m.points[i].position, at) < 1e-12) {
                ++found;
                EXPECT_NEAR(m.points[i].depth, depth, 1e-12) << "side " << side;
            }
        }
        EXPECT_EQ(found, 1) << "side " << side << ": no point at " << at.x << " " << at.y << " " << at.z;
    }
}

// A sphere against a box of half edges (1, 0.5, 2) at the origin: the point
// is midway between the box's point nearest the centre and the sphere's
// point deepest in the box.
TEST(SphereContact, OnFacesEdgesCornersAndInside) {
    const ShapePose b = box({0, 0, 0}, {1, 0.5, 2});
    const Axes turned = turnedZ(0.5);
    struct Case {
        const char* what;
        ShapePose s;
        double margin;
        Vec3 normal, point;
        double depth;
        int count;
    } cases[] = {
        {"on the top face", sphere({0.2, 0.1, 2.375}, 0.5), 0.0, {0, 0, 1}, {0.2, 0.1, 1.9375}, 0.125, 1},
        {"on an edge", sphere({1.3, 0, 2.4}, 0.625), 0.0, {0.6, 0, 0.8}, {0.9625, 0, 1.95}, 0.125, 1},
        {"on a corner", sphere({1.2, 0.9, 2.4}, 0.75), 0.0, {1.0 / 3, 2.0 / 3, 2.0 / 3},
         {1 - 0.025, 0.5 - 0.05, 2 - 0.05}, 0.15, 1},
        {"centre inside, nearest the +x face", sphere({0.8, 0.1, 0.3}, 0.25), 0.0, {1, 0, 0}, {0.775, 0.1, 0.3}, 0.45, 1},
        {"centre inside, nearest the -y face", sphere({-0.1, -0.35, 0.3}, 0.25), 0.0, {0, -1, 0},
         {-0.1, -0.3, 0.3}, 0.4, 1},
        {"apart by less than the margin", sphere({0, -1.25, 0}, 0.5), 0.5, {0, -1, 0}, {0, -0.625, 0}, -0.25, 1},
        {"apart by the margin exactly", sphere({0, -1.25, 0}, 0.5), 0.25, {0, -1, 0}, {0, -0.625, 0}, -0.25, 1},
        {"apart by more than the margin", sphere({0, -1.25, 0}, 0.5), 0.125, {0, -1, 0}, {}, 0.0, 0},
    };
    for (const Case& c : cases) {
        const ContactManifold m = contactBetween(c.s, b, c.margin);
        expectNormal(m, c.normal, c.what);
        expectPoints(m, c.count ? std::vector<Vec3>{c.point} : std::vector<Vec3>{}, c.depth, c.what);
    }
    // A turned box: out through the face its x axis points at.
    const ShapePose t = box({1, 2, 3}, {1, 0.5, 2}, turned);
    const ContactManifold m = contactBetween(sphere(Vec3{1, 2, 3} + 1.375 * turned.x, 0.5), t, 0.0);
    expectNormal(m, turned.x, "turned box");
    expectPoints(m, {Vec3{1, 2, 3} + 0.9375 * turned.x}, 0.125, "turned box");
}

TEST(SphereContact, TwoSpheresTouchOnTheirCentresLine) {
    const ContactManifold m = contactBetween(sphere({1, 1, 1}, 1), sphere({1.9, 2.2, 1}, 0.75), 0.0);
    expectNormal(m, {-0.6, -0.8, 0}, "overlapping");
    expectPoints(m, {{1.525, 1.7, 1}}, 0.25, "overlapping");
    EXPECT_EQ(contactBetween(sphere({0, 0, 0}, 1), sphere({2.5, 0, 0}, 1), 0.25).count, 0);
    expectPoints(contactBetween(sphere({0, 0, 0}, 1), sphere({2.5, 0, 0}, 1), 0.5), {{1.25, 0, 0}}, -0.5, "near");
}

// Swapping the shapes turns the normal round and leaves the points.
TEST(ContactNormal, PointsFromTheSecondShapeTowardTheFirst) {
    const double z = r2 - 0.125;
    const std::pair<ShapePose, ShapePose> pairs[] = {
        {sphere({0, 0, 0}, 1), sphere({1.2, 0.9, 0.4}, 0.75)},
        {sphere({1.3, 0, 2.4}, 0.625), box({0, 0, 0}, {1, 0.5, 2})},
        {sphere({0.8, 0.1, 0.3}, 0.25), box({0, 0, 0}, {1, 0.5, 2}, turnedY(0.2))},
        {box({0.25, -0.5, 0.875}, {0.5, 0.5, 0.5}), box({0, 0, 0}, {2, 2, 0.5})},
        {box({0.3, -0.4, z}, {0.5, 2, 0.5}, turnedY(std::atan(1.0))), box({0, 0, 0}, {2, 0.5, 0.5}, turnedX(std::atan(1.0)))},
    };
    for (const auto& [a, b] : pairs) {
        const ContactManifold ab = contactBetween(a, b, 0.0), ba = contactBetween(b, a, 0.0);
        ASSERT_EQ(ab.count, ba.count);
        EXPECT_GT(ab.count, 0);
        expectNormal(ba, ab.normal.negated(), "swapped");
        EXPECT_GT(dot(ab.normal, a.centre - b.centre), 0.0);
        std::vector<Vec3> points;
        for (int i = 0; i < ab.count; ++i) points.push_back(ab.points[i].position);
        expectPoints(ba, points, ab.points[0].depth, "swapped");
    }
}

// A kind that is neither sphere nor box touches nothing.
TEST(ContactNormal, InertKindsGiveNoPoints) {
    ShapePose inert = box({0, 0, 0}, {1, 1, 1});
    inert.kind = 0;
    for (const ShapePose& other : {box({0, 0, 0}, {1, 1, 1}), sphere({0, 0, 0}, 1), inert}) {
        for (const ContactManifold& m : {contactBetween(inert, other, 1.0), contactBetween(other, inert, 1.0)}) {
            EXPECT_EQ(m.count, 0);
            EXPECT_NEAR(m.normal.length(), 1.0, 1e-12);
        }
    }
    EXPECT_EQ(contactWithGround(inert, 2.0, 1.0).count, 0);
}

// Coincident centres, a centre on a face, boxes on one another, a way out
// too short to square: a unit normal and finite points all the same.
TEST(ContactNormal, DegenerateShapesGiveAUnitNormal) {
    const ShapePose pairs[][2] = {
        {sphere({1, 2, 3}, 1), sphere({1, 2, 3}, 0.5)},
        {sphere({1, 2, 3}, 0), sphere({1, 2, 3}, 0)},
        {sphere({0, 0, 0}, 0.5), box({0, 0, 0}, {1, 1, 1})},
        {box({0, 0, 0}, {1, 1, 1}), sphere({0, 0, 0}, 0.5)},
        {sphere({0, 0, 2}, 0.5), box({0, 0, 0}, {1, 1, 2})},
        {sphere({3e-170, 0, 0}, 2e-170), box({0, 0, 0}, {2e-170, 2e-170, 2e-170})},
        {box({0, 0, 0}, {1, 1, 1}), box({0, 0, 0}, {1, 1, 1})},
        {box({0, 0, 0}, {1, 1, 1}, turnedZ(0.7)), box({0, 0, 0}, {0, 0, 0})},
    };
    for (const auto& pair : pairs) {
        const ContactManifold m = contactBetween(pair[0], pair[1], 0.0);
        EXPECT_NEAR(m.normal.length(), 1.0, 1e-12) << &pair - pairs;
        EXPECT_GT(m.count, 0) << &pair - pairs;
        for (int i = 0; i < m.count; ++i) {
            EXPECT_TRUE(std::isfinite(m.points[i].depth) && std::isfinite(m.points[i].position.length()));
        }
    }
    const ContactManifold onFace = contactBetween(sphere({0, 0, 2}, 0.5), box({0, 0, 0}, {1, 1, 2}), 0.0);
    expectNormal(onFace, {0, 0, 1}, "centre on the top face");
    expectPoints(onFace, {{0, 0, 1.75}}, 0.5, "centre on the top face");
    expectNormal(contactBetween(sphere({1, 2, 3}, 1), sphere({1, 2, 3}, 1), 0.0), {0, 0, 1}, "coincident");
    // On ties, the lowest axis, its + side: a centre at the centre of a box
    // goes out through its +x face, and of two boxes on one another a's -x
    // face meets b's +x face.
    const ShapePose cube = box({0, 0, 0}, {1, 1, 1});
    const ContactManifold centred = contactBetween(sphere({0, 0, 0}, 0.5), cube, 0.0);
    expectNormal(centred, {1, 0, 0}, "sphere at the centre");
    expectPoints(centred, {{0.25, 0, 0}}, 1.5, "sphere at the centre");
    expectNormal(contactBetween(cube, sphere({0, 0, 0}, 0.5), 0.0), {-1, 0, 0}, "box round a sphere");
    const ContactManifold same = contactBetween(cube, cube, 0.0);
    expectNormal(same, {1, 0, 0}, "coincident boxes");
    expectPoints(same, {{0, -1, -1}, {0, 1, -1}, {0, 1, 1}, {0, -1, 1}}, 2.0, "coincident boxes");
}

// A box or sphere on the ground z = height: its corners (its lowest point)
// within margin, the deepest first, ties by corner number, each midway
// between the body and the plane.
TEST(GroundManifold, CornersWithinTheMargin) {
    const double h = 0.5, s3 = std::sqrt(3.0);
    const Axes upsideDown{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    struct Case {
        const char* what;
        ShapePose body;
        double height, margin;
        std::vector<Vec3> points;
        std::vector<double> depths;
    } cases[] = {
        {"a flat box", box({1, 2, 0.375}, {1, 0.75, h}), 0.0, 0.0,
         {{0, 1.25, -0.0625}, {2, 1.25, -0.0625}, {2, 2.75, -0.0625}, {0, 2.75, -0.0625}}, {0.125, 0.125, 0.125, 0.125}},
        {"a box on an edge", box({0, 0, 2 + h * r2 - 0.25}, {1, h, h}, turnedX(std::atan(1.0))), 2.0, 0.0,
         {{-1, 0, 1.875}, {1, 0, 1.875}}, {0.25, 0.25}},
        {"a cube on a corner", box({1, 1, h * s3 - 0.125}, {h, h, h}, diagonalUp()), 0.0, 0.25,
         {{1, 1, -0.0625}}, {0.125}},
        {"a thin plate, all within the margin", box({0, 0, 0.125}, {1, 1, 0.0625}), 0.0, 0.5,
         {{-1, -1, 0.03125}, {1, -1, 0.03125}, {1, 1, 0.03125}, {-1, 1, 0.03125}}, {-0.0625, -0.0625, -0.0625, -0.0625}},
        {"a plate upside down", box({0, 0, 0.125}, {1, 1, 0.0625}, upsideDown), 0.0, 0.5,
         {{-1, 1, 0.03125}, {1, 1, 0.03125}, {1, -1, 0.03125}, {-1, -1, 0.03125}}, {-0.0625, -0.0625, -0.0625, -0.0625}},
        {"a box above by less than the margin", box({0, 0, 0.5625}, {1, 1, h}), 0.0, 0.125,
         {{-1, -1, 0.03125}, {1, -1, 0.03125}, {1, 1, 0.03125}, {-1, 1, 0.03125}}, {-0.0625, -0.0625, -0.0625, -0.0625}},
        {"a box above by the margin exactly", box({0, 0, 0.5625}, {1, 1, h}), 0.0, 0.0625,
         {{-1, -1, 0.03125}, {1, -1, 0.03125}, {1, 1, 0.03125}, {-1, 1, 0.03125}}, {-0.0625, -0.0625, -0.0625, -0.0625}},
        {"a box above by more than the margin", box({0, 0, 0.5625}, {1, 1, h}), 0.0, 0.03125, {}, {}},
        {"a sphere", sphere({1, 2, 0.375}, 0.5), 0.0, 0.0, {{1, 2, -0.0625}}, {0.125}},
        {"a sphere above by less than the margin", sphere({1, 2, 3.625}, 0.5), 3.0, 0.25, {{1, 2, 3.0625}}, {-0.125}},
        {"a sphere above by the margin exactly", sphere({1, 2, 3.625}, 0.5), 3.0, 0.125, {{1, 2, 3.0625}}, {-0.125}},
        {"a sphere above by more than the margin", sphere({1, 2, 3.625}, 0.5), 3.0, 0.0625, {}, {}},
    };
    for (const Case& c : cases) {
        const ContactManifold m = contactWithGround(c.body, c.height, c.margin);
        expectNormal(m, {0, 0, 1}, c.what);
        expectCorners(m, c.points, c.depths, c.what);
    }
}

TEST(ShapePoseOf, TakesTheBodysPositionAndFrame) {
    RigidBody ball(1.0f);
    ball.kind = kindSphere;
    ball.radius = 0.25f;
    ball.position = {1, 2, 3};
    const ShapePose s = poseOf(ball);
    EXPECT_EQ(s.kind, kindSphere);
    EXPECT_EQ(s.radius, 0.25);
    EXPECT_EQ(s.centre.z, 3.0);

    RigidBody brick(1.0f);
    brick.kind = kindBox;
    brick.box.length = 2.0f;
    brick.box.width = 1.0f;
    brick.box.height = 0.5f;
    brick.box.resetCorners();
    brick.box.rotateCorners(0.0, 0.0, 2.0 * std::atan(1.0));
    brick.position = {-1, 0, 4};
    const ShapePose p = poseOf(brick);
    EXPECT_EQ(p.kind, kindBox);
    EXPECT_EQ(p.centre.x, -1.0);
    EXPECT_EQ(p.frame.half[0], 1.0);
    EXPECT_EQ(p.frame.half[2], 0.25);
    EXPECT_LT(distance(p.frame.axis[0], {0, 1, 0}), 1e-12);
    EXPECT_LT(distance(p.frame.axis[1], {-1, 0, 0}), 1e-12);
    // On the ground, its lowest corners as the body has them.
    expectCorners(contactWithGround(p, 3.875, 0.0), {{-0.5, -1, 3.8125}, {-0.5, 1, 3.8125}, {-1.5, 1, 3.8125}, {-1.5, -1, 3.8125}},
                  {0.125, 0.125, 0.125, 0.125}, "brick");
}

// Two boxes square to the world axes, b's centre (1, -0.5, 2.5) from a's:
// every axis of the fifteen is x, y or z (the cross product of two parallel
// edges says nothing), and the overlap along it the half edges' sum less
// the centres' distance; the normal points from b toward a.
TEST(BoxAxes, EachNumberIsTheAxisTriedInThatPlace) {
    const ShapePose a = box({0, 0, 0}, {1, 0.5, 2});
    const ShapePose b = box({1, -0.5, 2.5}, {0.5, 0.25, 1});
    const Vec3 ab = a.centre - b.centre;
    const Vec3 x{-1, 0, 0}, y{0, 1, 0}, z{0, 0, -1};
    struct Case {
        int axis;
        bool says;
        double overlap;
        Vec3 normal;
    };
    const Case cases[] = {
        {0, true, 0.5, x},   {1, true, 0.5, x},   {2, true, 0.25, y},  {3, true, 0.25, y},  {4, true, 0.5, z},
        {5, true, 0.5, z},   {6, false, 0, {}},   {7, true, 0.5, z},   {8, true, 0.25, y},  {9, true, 0.5, z},
        {10, false, 0, {}},  {11, true, 0.5, x},  {12, true, 0.25, y}, {13, true, 0.5, x},  {14, false, 0, {}},
    };
    for (const Case& c : cases) {
        Overlap o;
        ASSERT_EQ(overlapAlongAxis(ab, a.frame, b.frame, c.axis, o), c.says) << "axis " << c.axis;
        if (!c.says) continue;
        EXPECT_EQ(o.depth, c.overlap) << "axis " << c.axis;
        EXPECT_EQ(distance(o.normal, c.normal), 0.0) << "axis " << c.axis;
    }
    Overlap o;
    EXPECT_FALSE(overlapAlongAxis(ab, a.frame, b.frame, -1, o));
    EXPECT_FALSE(overlapAlongAxis(ab, a.frame, b.frame, boxAxisCount, o));
    // They overlap on every axis; the least, 0.25 along y, first on a's y.
    const AxesOverlap all = boxAgainstBox(ab, a.frame, b.frame, 1.0);
    EXPECT_FALSE(all.gap);
    EXPECT_EQ(all.leastAxis, 2);
    EXPECT_EQ(all.least.depth, 0.25);
}

// Turned boxes near each other, apart and in each other: the axis
// boxAgainstBox names gives its least overlap bit for bit; where they are
// apart it is the first axis that shows the gap, and where they overlap
// no axis shows less.
TEST(BoxAxes, TheNamedAxisAloneGivesTheLeastOverlapBitForBit) {
    unsigned state = 12345u;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return static_cast<double>((state >> 8) & 0xffff) / 65536.0;
    };
    int apart = 0, overlapping = 0, onEdges = 0, weightedEdges = 0;
    for (int n = 0; n < 400; ++n) {
        const Axes ta = turnedZ(6.0 * next()), tb = turnedX(6.0 * next());
        Axes turned;
        turned.x = {tb.x.x * ta.x.x + tb.x.y * ta.y.x, tb.x.x * ta.x.y + tb.x.y * ta.y.y, tb.x.z};
        turned.y = {tb.y.x * ta.x.x + tb.y.y * ta.y.x, tb.y.x * ta.x.y + tb.y.y * ta.y.y, tb.y.z};
        turned.z = {tb.z.x * ta.x.x + tb.z.y * ta.y.x, tb.z.x * ta.x.y + tb.z.y * ta.y.y, tb.z.z};
        const ShapePose a = box({0, 0, 0}, {0.5 + next(), 0.5, 0.25 + next()}, turnedY(6.0 * next()));
        const ShapePose b = box({3.0 * next() - 1.5, 3.0 * next() - 1.5, 3.0 * next() - 1.5}, {1, 0.25 + next(), 0.5},
                                turned);
        const Vec3 ab = a.centre - b.centre;
        const AxesOverlap all = boxAgainstBox(ab, a.frame, b.frame, 1.0);
        ASSERT_GE(all.leastAxis, 0);
        ASSERT_LT(all.leastAxis, boxAxisCount);
        Overlap one;
        ASSERT_TRUE(overlapAlongAxis(ab, a.frame, b.frame, all.leastAxis, one));
        EXPECT_EQ(one.depth, all.least.depth) << n;
        EXPECT_EQ(one.normal.x, all.least.normal.x) << n;
        EXPECT_EQ(one.normal.y, all.least.normal.y) << n;
        EXPECT_EQ(one.normal.z, all.least.normal.z) << n;
        EXPECT_EQ(all.gap, one.depth < 0.0) << n;
        onEdges += all.leastAxis >= 6;
        // Weighted, an edge axis is chosen only where its overlap times the
        // weight is below every other's (the face axes count once).
        const AxesOverlap weighted = boxAgainstBox(ab, a.frame, b.frame, 1.5);
        if (!weighted.gap) {
            const auto weightOf = [](int axis) { return axis < 6 ? 1.0 : 1.5; };
            for (int axis = 0; axis < boxAxisCount; ++axis) {
                Overlap o;
                if (!overlapAlongAxis(ab, a.frame, b.frame, axis, o)) continue;
                EXPECT_GE(o.depth * weightOf(axis), weighted.least.depth * weightOf(weighted.leastAxis))
                    << n << " axis " << axis;
            }
            weightedEdges += weighted.leastAxis >= 6;
        }
        for (int axis = 0; axis < boxAxisCount; ++axis) {
            Overlap o;
            if (!overlapAlongAxis(ab, a.frame, b.frame, axis, o)) continue;
            if (all.gap && axis < all.leastAxis) {
                EXPECT_GE(o.depth, 0.0) << n << " axis " << axis;
            }
            if (!all.gap) {
                EXPECT_GE(o.depth, all.least.depth) << n << " axis " << axis;
            }
        }
        ++(all.gap ? apart : overlapping);
    }
    // Both kinds, and edge axes among them, were seen.
    EXPECT_GT(apart, 50);
    EXPECT_GT(overlapping, 50);
    EXPECT_GT(onEdges, 5);
    EXPECT_GT(weightedEdges, 0);
}
