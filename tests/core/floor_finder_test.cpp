#include "prallwerk/core/floor_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "prallwerk/math/bits.h"

using namespace prallwerk;

namespace {

class Layout {
public:
    explicit Layout(uint64_t seed) : rng_(seed) {}

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // A sphere, a box or an inert body somewhere over a square of the given
    // side: a quarter of them up to five times the usual size, a few far
    // larger still, far out or non-finite.
    void place(RigidBody& b, double side) {
        const int k = pick(10);
        b.kind = k < 4 ? kindSphere : k < 9 ? kindBox : 5;
        b.radius = static_cast<float>(uniform(0.2, 1.5));
        b.box.width = static_cast<float>(uniform(0.3, 3.0));
        b.box.length = static_cast<float>(uniform(0.3, 3.0));
        b.box.height = static_cast<float>(uniform(0.3, 3.0));
        if (pick(4) == 0) {
            // Sizes around the cells' edge and beyond: from half the middle
            // size to five times it.
            b.radius = static_cast<float>(uniform(0.4, 4.0));
            b.box.length = static_cast<float>(uniform(0.8, 8.0));
        }
        b.box.resetCorners();
        // Half the boxes turned: an outline of up to six corners, whose
        // reach and bound are those of some corners only.
        if (pick(2) == 0) b.box.reorient(uniform(-3, 3), uniform(-3, 3), uniform(-3, 3), pivotCentre);
        // A few on their way up, offering nothing.
        b.velocity.z = pick(12) == 0 ? 1.0 : 0.0;
        b.position = {uniform(0, side), uniform(0, side), uniform(-1, 8)};
        switch (pick(40)) {
        case 0: b.radius = 40.0f; break;
        case 1: b.box.length = 90.0f; b.box.resetCorners(); break;
        case 2: b.position.x = 3e14; break;
        case 3: b.position.y = NAN; break;
        case 4: b.position.z = INFINITY; break;
        case 5: b.radius = 0.0f; break;
        case 6: b.position = {-2e300, 1e300, 5.0}; break;
        default: break;
        }
    }

    std::mt19937_64& rng() { return rng_; }

private:
    std::mt19937_64 rng_;
};

// The bodies of a list as the floors take them.
std::vector<RigidBody*> pointersOf(const BodyList& list) {
    std::vector<RigidBody*> p;
    for (const auto& b : list) p.push_back(b.get());
    return p;
}

}  // namespace

// The floor is single precision of the highest top under the centre whatever
// order the bodies come in, even when several tops round to the same single
// precision number: the floor searches look at the bodies in any order.
TEST(FloorHeight, DoesNotDependOnTheOrderOfTheBodies) {
    Layout layout(5);
    for (int n = 0; n < 2000; ++n) {
        BodyList list;
        const int count = 2 + layout.pick(8);
        for (int i = 0; i < count; ++i) {
            list.push_back(std::make_unique<RigidBody>(1.0f));
            RigidBody& b = *list.back();
            b.kind = i % 2 == 0 ? kindSphere : kindBox;
            b.radius = 1.0f;
            b.box.width = b.box.length = b.box.height = 2.0f;
            b.box.resetCorners();
            // Tops within a few single-precision steps of each other.
            b.position = {layout.uniform(-0.5, 0.5), layout.uniform(-0.5, 0.5), 2.0 + layout.pick(4) * 1e-7};
        }
        list[0]->position.z = 10.0;
        computeFloorHeight(pointersOf(list).data(), count, 0);
        const float inOrder = list[0]->floorHeight;
        std::shuffle(list.begin() + 1, list.end(), layout.rng());
        std::reverse(list.begin() + 1, list.end());
        computeFloorHeight(pointersOf(list).data(), count, 0);
        ASSERT_TRUE(sameBits(list[0]->floorHeight, inOrder)) << n;
    }
}

// The finder gives the floors of computeFloorHeight bit for bit while the
// bodies move one by one as the world moves them, over crowded worlds of
// assorted sizes: stacked and side by side, some bodies far larger than the
// rest (too wide for a cell), far out or non-finite, some changing kind, and
// all of them grown between two loads; some finders made for fewer bodies
// than they are given.
TEST(FloorFinder, FindsTheFloorsOfComputeFloorHeight) {
    Layout layout(99);
    long floorsAbove = 0, floors = 0;
    for (int world = 0; world < 150; ++world) {
        const int count = 1 + layout.pick(120);
        BodyList list;
        const double side = 1.2 * std::sqrt(static_cast<double>(count));
        for (int i = 0; i < count; ++i) {
            list.push_back(std::make_unique<RigidBody>(1.0f));
            layout.place(*list.back(), side);
        }
        const std::vector<RigidBody*> pointers = pointersOf(list);
        // Every third finder is made for one body and grows to the list.
        FloorFinder finder(world % 3 == 0 ? 1 : count);
        for (int round = 0; round < 6; ++round) {
            if (round == 3) {
                // Every body at once far larger: the cells no longer fit.
                for (auto& b : list) b->radius *= 50.0f;
            }
            finder.load(pointers.data(), count);
            for (int k = 0; k < count; ++k) {
                RigidBody& body = *list[k];
                finder.setFloorHeight(body, k);
                const float found = body.floorHeight;
                computeFloorHeight(pointers.data(), count, k);
                ASSERT_TRUE(sameBits(found, body.floorHeight))
                    << "world " << world << ", round " << round << ", body " << k << ": " << found << " and "
                    << body.floorHeight;
                ++floors;
                floorsAbove += found > 0.0f ? 1 : 0;
                // Then it moves (or changes) before the next body's floor.
                switch (layout.pick(6)) {
                case 0: layout.place(body, side); break;
                case 1: body.position.x += layout.uniform(-2, 2); break;
                case 2: body.position.z += layout.uniform(-1, 1); break;
                case 3: body.kind = body.kind == kindBox ? kindSphere : kindBox; break;
                default: break;
                }
                finder.refresh(body, k);
            }
        }
    }
    // Many bodies must have stood on others.
    EXPECT_GT(floorsAbove, floors / 4);
}
