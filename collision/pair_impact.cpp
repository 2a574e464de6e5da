#include "prallwerk/collision/pair_impact.h"

#include <cmath>

#include "prallwerk/collision/sampling.h"
#include "prallwerk/math/bits.h"

namespace prallwerk {

namespace {

// A posed box with its three axis directions, which every point tested in it
// shares. Built lazily: most tested points lie outside the half diagonal and
// need no axes.
class PosedBox {
public:
    // A box whose corners are already posed.
    explicit PosedBox(const BoxShape& box) : box_(box) {}

    // The box rebuilt from its edge lengths and turned to the given angles.
    PosedBox(const BoxShape& box, const Vec3& angles) : box_(box) {
        box_.reorient(angles.x, angles.y, angles.z, pivotCentre);
    }

    const BoxShape& box() const { return box_; }

    Vec3 contactNormal(double x, double y, double z) {
        if (std::sqrt(x * x + y * y + z * z) > box_.halfDiagonal) return {};
        if (!haveAxes_) {
            const Vec3* c = box_.corners;
            axes_[0].cross(c[1] - c[0], c[2] - c[0]);  // (0, 0, 1) unrotated
            axes_[1].cross(c[2] - c[3], c[6] - c[3]);  // (0, -1, 0) unrotated
            axes_[2].cross(c[5] - c[1], c[2] - c[1]);  // (-1, 0, 0) unrotated
            for (Vec3& e : axes_) e.normalize();
            haveAxes_ = true;
        }
        float s[3], a[3];
        for (int k = 0; k < 3; ++k) {
            s[k] = static_cast<float>(-(x * axes_[k].x + y * axes_[k].y + z * axes_[k].z));
            a[k] = std::fabs(s[k]);
        }
        // The bounds are whole edge lengths, and the second and third axes
        // are bounded by each other's edge.
        if (a[0] > box_.height || a[1] > box_.length || a[2] > box_.width) return {};
        int k;
        if (a[0] >= a[1] && a[0] >= a[2]) {
            k = 0;
        } else if (a[1] >= a[0] && a[1] >= a[2]) {
            k = 1;
        } else {
            k = 2;
        }
        return s[k] > 0.0f ? axes_[k] : axes_[k].negated();
    }

private:
    BoxShape box_;
    Vec3 axes_[3];
    bool haveAxes_ = false;
};

// One body as the contact tests see it.
class PairBody {
public:
    explicit PairBody(const RigidBody& b)
        : body(b), halfDiagonal(halfDiagonalOf(b.box.width, b.box.length, b.box.height)) {}

    const RigidBody& body;
    const float halfDiagonal;  // of the box rebuilt from its edge lengths, whatever its turn

    // The box rebuilt and turned to the angles predicted after t, corners as
    // offsets from the predicted position. The posed box of the last call is
    // kept with its axes: a body without spin, and often a slow one, has the
    // same angles at every test of a search, and the same angles give the
    // same corners.
    PosedBox& posedAt(float t) {
        const Vec3 angles = body.predictAngles(t, body.spin);
        if (!havePosed_ || !sameBits(angles, posedAngles_)) {
            posed_ = PosedBox(body.box, angles);
            posedAngles_ = angles;
            havePosed_ = true;
        }
        return posed_;
    }

private:
    PosedBox posed_{BoxShape{}};
    Vec3 posedAngles_;
    bool havePosed_ = false;
};

// The contact tests of one pair. Rotating boxes costs trigonometry, so each
// test first decides what it can from the predicted positions alone.
class PairSearch {
public:
    PairSearch(const RigidBody& a, const RigidBody& b)
        : a_(a), b_(b), sphereCase_(a.kind == kindSphere) {}

    bool sphereCase() const { return sphereCase_; }
    const Vec3& sphereVelocity() const { return sphereVelocity_; }

    // The contact vector at t (pointing from b's side toward a's), or the
    // zero vector when the pair does not touch at t.
    Vec3 contactAt(float t) { return sphereCase_ ? sphereContact(t) : boxContact(t); }

private:
    // The sphere is represented by the point of its surface nearest to b's
    // centre, tested in b's box.
    Vec3 sphereContact(float t) {
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        sphereVelocity_ = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, sphereVelocity_);
        Vec3 u = pb - pa;
        u.normalize();
        const Vec3 q = pa + static_cast<double>(a_.body.radius) * u - pb;
        if (std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z) > b_.halfDiagonal) return {};
        return b_.posedAt(t).contactNormal(q.x, q.y, q.z).negated();
    }

    // The corners of b tested in a, then those of a in b. Each tested point
    // is the mirror image, through the testing box's centre, of the true
    // position of the opposite corner (i ^ 6); a box is symmetric about its
    // centre, so every true corner is tested.
    Vec3 boxContact(float t) {
        const Vec3 va = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, va);
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        const Vec3 ab = pa - pb;
        if (ab.length() > static_cast<double>(a_.halfDiagonal) + b_.halfDiagonal) return {};
        PosedBox& boxA = a_.posedAt(t);
        PosedBox& boxB = b_.posedAt(t);
        for (const Vec3& corner : boxB.box().corners) {
            const Vec3 q = corner + ab;
            const Vec3 c = boxA.contactNormal(q.x, q.y, q.z).negated();
            if (c.length() > 0.0) return c;
        }
        const Vec3 ba = pb - pa;
        for (const Vec3& corner : boxA.box().corners) {
            const Vec3 q = corner + ba;
            const Vec3 c = boxB.contactNormal(q.x, q.y, q.z);
            if (c.length() > 0.0) return c;
        }
        return {};
    }

    PairBody a_, b_;
    bool sphereCase_;
    Vec3 sphereVelocity_;
};

}  // namespace

bool atPairRest(const RigidBody& b) {
    // Resting bodies hold exact zeros; only moving ones need the lengths.
    if (isZero(b.velocity) && isZero(b.spin)) return true;
    return b.velocity.length() <= pairRestSpeed && b.spin.length() <= pairRestSpeed;
}

Vec3 boxContactNormal(const BoxShape& box, double x, double y, double z) {
    return PosedBox(box).contactNormal(x, y, z);
}

PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b) {
    PairImpact impact;
    if (atPairRest(a) && atPairRest(b)) return impact;
    // The case follows a's kind alone: a sphere first is tested by its
    // surface point, anything else by box corners.
    PairSearch search(a, b);
    if (search.contactAt(limit).length() == 0.0) return impact;

    // The first sample in contact decides; the result is the sample before
    // it, so the bodies are moved to just short of touching.
    Vec3 contact;
    const int k = firstTouchingSample(limit, [&](float t) {
        contact = search.contactAt(t);
        return contact.length() > 0.0;
    });
    impact.sampled = true;
    impact.normalA = k < sampleCount ? contact : Vec3{};
    impact.normalB = search.sphereCase() ? search.sphereVelocity().normalized() : impact.normalA;
    impact.time = sampleTime(k - 1, limit);
    return impact;
}

}  // namespace prallwerk
