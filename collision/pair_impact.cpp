#include "prallwerk/collision/pair_impact.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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
    PairBody(const RigidBody& b, PosedFrames* frames)
        : body(b), halfDiagonal(halfDiagonalOf(b.box.width, b.box.length, b.box.height)), frames_(frames) {}

    const RigidBody& body;
    const float halfDiagonal;  // of the box rebuilt from its edge lengths, whatever its turn

    // The frame of the box rebuilt and turned to the angles predicted after
    // t. The frame of the last call is kept: a body without spin, and often
    // a slow one, has the same angles at every test of a search, and the
    // same angles give the same frame.
    const PosedFrame& frameAt(float t) {
        const Vec3 angles = body.predictAngles(t, body.spin);
        if (!haveFrame_ || !sameBits(angles, frameAngles_)) {
            frame_ = frames_ != nullptr ? frames_->frameOf(body.box, angles) : posedFrameOf(body.box, angles);
            frameAngles_ = angles;
            haveFrame_ = true;
        }
        return frame_;
    }

private:
    PosedFrames* frames_;
    PosedFrame frame_;
    Vec3 frameAngles_;
    bool haveFrame_ = false;
};

// Contact of a ball (centre p, radius r) with a posed box centred at c: the
// unit vector from the box's nearest point toward the ball's centre, or the
// zero vector when they are apart (touching counts).
Vec3 ballOnBox(const Vec3& p, double r, const Vec3& c, const PosedFrame& f) {
    const Overlap o = ballAgainstBox(p, r, c, f);
    return o.depth < 0.0 ? Vec3{} : o.normal;
}

// Contact of two posed boxes (a's centre less b's centre is ab): they touch
// when no separating axis shows a gap; the contact vector is the axis along
// which they overlap least, pointing from b's side toward a's. Face axes are
// preferred to edge axes that overlap barely less, as the rounding of a cross
// product is no reason to tilt the contact off a face.
Vec3 boxOnBox(const Vec3& ab, const PosedFrame& a, const PosedFrame& b) {
    constexpr double edgePreference = 1.0 + 1e-9;
    const AxesOverlap o = boxAgainstBox(ab, a, b, edgePreference);
    return o.gap ? Vec3{} : o.least.normal;
}

// The contact tests of one pair. Rotating boxes costs trigonometry, so each
// test first decides what it can from the predicted positions alone.
class PairSearch {
public:
    PairSearch(const RigidBody& a, const RigidBody& b, PosedFrames* frames)
        : a_(a, frames), b_(b, frames), sphereCase_(a.kind == kindSphere) {}

    bool sphereCase() const { return sphereCase_; }
    bool twoSpheres() const { return sphereCase_ && b_.body.kind == kindSphere; }
    const Vec3& sphereVelocity() const { return sphereVelocity_; }

    // The contact vector at t (pointing from b's side toward a's), or the
    // zero vector when the pair does not touch at t.
    Vec3 contactAt(float t) { return sphereCase_ ? sphereContact(t) : boxContact(t); }

private:
    // A ball meets another ball along the line of their centres, and a box
    // where the box's nearest point lies within its radius.
    Vec3 sphereContact(float t) {
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        sphereVelocity_ = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, sphereVelocity_);
        const double ra = a_.body.radius;
        const Vec3 ab = pa - pb;
        if (b_.body.kind == kindSphere) {
            if (ab.length() > ra + static_cast<double>(b_.body.radius)) return {};
            return ab.normalized();
        }
        if (ab.length() > ra + static_cast<double>(b_.halfDiagonal)) return {};
        return ballOnBox(pa, ra, pb, b_.frameAt(t));
    }

    // A box meets a ball as the ball meets it, and another box where their
    // oriented boxes overlap.
    Vec3 boxContact(float t) {
        const Vec3 va = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, va);
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        const Vec3 ab = pa - pb;
        if (b_.body.kind == kindSphere) {
            const double rb = b_.body.radius;
            if (ab.length() > static_cast<double>(a_.halfDiagonal) + rb) return {};
            return ballOnBox(pb, rb, pa, a_.frameAt(t)).negated();
        }
        if (ab.length() > static_cast<double>(a_.halfDiagonal) + b_.halfDiagonal) return {};
        return boxOnBox(ab, a_.frameAt(t), b_.frameAt(t));
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

PosedFrame posedFrameOf(const BoxShape& box, const Vec3& angles) {
    BoxShape posed = box;
    posed.reorient(angles.x, angles.y, angles.z, pivotCentre);
    return frameOf(posed);
}

PosedFrames::PosedFrames(int bodyCount) {
    // Room for several turns of every body, so that few evict each other.
    constexpr size_t entriesPerBody = 4, fewestEntries = 64;
    size_t n = fewestEntries;
    while (n < entriesPerBody * static_cast<size_t>(bodyCount > 0 ? bodyCount : 0)) n *= 2;
    entries_.resize(n);
    mask_ = static_cast<unsigned>(n - 1);
}

const PosedFrame& PosedFrames::frameOf(const BoxShape& box, const Vec3& angles) {
    const uint64_t key[3] = {bitsOf(angles.x), bitsOf(angles.y), bitsOf(angles.z)};
    const float edges[3] = {box.width, box.length, box.height};
    uint32_t e[3];
    std::memcpy(e, edges, sizeof e);
    uint64_t h = key[0] * 0x9E3779B97F4A7C15ull ^ key[1] * 0xC2B2AE3D27D4EB4Full ^ key[2] * 0x165667B19E3779F9ull ^
                 (uint64_t{e[0]} << 32 | e[1]) ^ e[2];
    h ^= h >> 29;
    h ^= h >> 17;
    Entry& entry = entries_[static_cast<size_t>(h & mask_)];
    if (!(entry.valid && entry.angles[0] == key[0] && entry.angles[1] == key[1] && entry.angles[2] == key[2] &&
          std::memcmp(entry.edges, edges, sizeof edges) == 0)) {
        entry.frame = posedFrameOf(box, angles);
        std::memcpy(entry.edges, edges, sizeof edges);
        std::memcpy(entry.angles, key, sizeof key);
        entry.valid = true;
    }
    return entry.frame;
}

namespace {

PairImpact searchPair(float limit, const RigidBody& a, const RigidBody& b, PosedFrames* frames) {
    PairImpact impact;
    if (atPairRest(a) && atPairRest(b)) return impact;
    // The case follows a's kind alone: a sphere first is tested by its
    // surface point, anything else by box corners.
    PairSearch search(a, b, frames);
    const Vec3 atLimit = search.contactAt(limit);
    if (atLimit.length() == 0.0) return impact;

    // The first sample in contact decides; the result is the sample before
    // it, so the bodies are moved to just short of touching.
    Vec3 contact;
    const int k = firstTouchingSample(limit, [&](float t) {
        contact = search.contactAt(t);
        return contact.length() > 0.0;
    });
    impact.sampled = true;
    // Bodies that first touch after the last sample meet as they touch at
    // the limit: without a contact vector they would not turn back.
    impact.normalA = k < sampleCount ? contact : atLimit;
    // A ball that meets a box mirrors the box's motion about its own
    // direction of travel; every other pair shares the one contact vector.
    impact.normalB = search.sphereCase() && !search.twoSpheres() ? search.sphereVelocity().normalized()
                                                                 : impact.normalA;
    impact.time = sampleTime(k - 1, limit);
    return impact;
}

}  // namespace

PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b) { return searchPair(limit, a, b, nullptr); }

PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b, PosedFrames& frames) {
    return searchPair(limit, a, b, &frames);
}

}  // namespace prallwerk
