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
// zero vector when they are apart (touching counts), with how far apart in
// clearance.
Vec3 ballOnBox(const Vec3& p, double r, const Vec3& c, const PosedFrame& f, double& clearance) {
    const Overlap o = ballAgainstBox(p, r, c, f);
    if (o.depth < 0.0) {
        clearance = -o.depth;
        return {};
    }
    return o.normal;
}

// Contact of two posed boxes (a's centre less b's centre is ab): they touch
// when no separating axis shows a gap; the contact vector is the axis along
// which they overlap least, pointing from b's side toward a's. Face axes are
// preferred to edge axes that overlap barely less, as the rounding of a cross
// product is no reason to tilt the contact off a face.
// Apart, the gap along the separating axis found is the clearance: no two
// points of the boxes are closer.
Vec3 boxOnBox(const Vec3& ab, const PosedFrame& a, const PosedFrame& b, double& clearance) {
    constexpr double edgePreference = 1.0 + 1e-9;
    const AxesOverlap o = boxAgainstBox(ab, a, b, edgePreference);
    if (o.gap) {
        clearance = -o.least.depth;
        return {};
    }
    return o.least.normal;
}

// The contact tests of one pair. Rotating boxes costs trigonometry, so each
// test first decides what it can from the predicted positions alone: two
// bodies whose centres are farther apart than their reaches (a sphere's
// radius, a box's half diagonal) add up to do not touch, and how much
// farther is their gap.
class PairSearch {
public:
    PairSearch(const RigidBody& a, const RigidBody& b, PosedFrames* frames)
        : a_(a, frames), b_(b, frames), sphereCase_(a.kind == kindSphere) {
        const double reachA = sphereCase_ ? static_cast<double>(a.radius) : static_cast<double>(a_.halfDiagonal);
        const double reachB =
            b.kind == kindSphere ? static_cast<double>(b.radius) : static_cast<double>(b_.halfDiagonal);
        reach_ = reachA + reachB;
    }

    bool sphereCase() const { return sphereCase_; }
    bool twoSpheres() const { return sphereCase_ && b_.body.kind == kindSphere; }
    const Vec3& sphereVelocity() const { return sphereVelocity_; }

    // How far apart a pair found apart stands: its centres beyond their
    // reaches (a distance no turn changes), or its shapes (m; 0 where not
    // known).
    struct Clearance {
        double centres = 0.0;
        double shapes = 0.0;
    };

    // The contact vector at t (pointing from b's side toward a's), or the
    // zero vector when the pair does not touch at t, with how far apart.
    Vec3 contactAt(float t, Clearance& apart) {
        apart = {};
        return sphereCase_ ? sphereContact(t, apart) : boxContact(t, apart);
    }

private:
    // A ball meets another ball along the line of their centres, and a box
    // where the box's nearest point lies within its radius.
    Vec3 sphereContact(float t, Clearance& apart) {
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        sphereVelocity_ = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, sphereVelocity_);
        const double ra = a_.body.radius;
        const Vec3 ab = pa - pb;
        const double gap = ab.length() - reach_;
        if (gap > 0.0) {
            apart.centres = gap;
            return {};
        }
        if (b_.body.kind == kindSphere) return ab.normalized();
        return ballOnBox(pa, ra, pb, b_.frameAt(t), apart.shapes);
    }

    // A box meets a ball as the ball meets it, and another box where their
    // oriented boxes overlap.
    Vec3 boxContact(float t, Clearance& apart) {
        const Vec3 va = a_.body.predictVelocity(t);
        const Vec3 pa = a_.body.predictPosition(t, va);
        const Vec3 vb = b_.body.predictVelocity(t);
        const Vec3 pb = b_.body.predictPosition(t, vb);
        const Vec3 ab = pa - pb;
        const double gap = ab.length() - reach_;
        if (gap > 0.0) {
            apart.centres = gap;
            return {};
        }
        if (b_.body.kind == kindSphere) {
            const double rb = b_.body.radius;
            return ballOnBox(pb, rb, pa, a_.frameAt(t), apart.shapes).negated();
        }
        return boxOnBox(ab, a_.frameAt(t), b_.frameAt(t), apart.shapes);
    }

    PairBody a_, b_;
    bool sphereCase_;
    double reach_ = 0.0;  // the reaches of both, added
    Vec3 sphereVelocity_;
};

// How thin a body is: no straight path of a point through it is shorter
// than this along the direction it crosses it (a sphere's diameter, a box's
// shortest edge), m.
double thicknessOf(const RigidBody& body) {
    if (body.kind == kindSphere) return 2.0 * std::fabs(static_cast<double>(body.radius));
    return std::min(std::min(body.box.width, body.box.length), body.box.height);
}

// Bound on how fast any point of the body moves relative to its centre, from
// its spin (each of its three turns moves a point at distance d by d times
// its rate): zero for a sphere, whose shape a turn leaves as it is. m/s.
double turnSpeedOf(const RigidBody& body) {
    if (body.kind == kindSphere) return 0.0;
    const Vec3& s = body.spin;
    return halfDiagonalOf(body.box.width, body.box.length, body.box.height) *
           (std::fabs(s.x) + std::fabs(s.y) + std::fabs(s.z));
}

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

// Between two samples one point of a pair moves against the other by at
// most this share of how thin the two bodies are together; where a sample's
// travel is more, the search looks at as many times between the samples as
// it takes. Half of the thinnest overlap the two can pass through, so that
// no such pass lies between two of the times looked at.
constexpr double travelPerLook = 0.5;

// Most times looked at between two samples: a pair at 1000 m/s relative and
// 1 cm thin together over 0.1 s needs 200.
constexpr int mostLooksPerSample = 1024;

PairImpact searchPair(float limit, const RigidBody& a, const RigidBody& b, PosedFrames* frames, bool passOver) {
    PairImpact impact;
    if (atPairRest(a) && atPairRest(b)) return impact;
    // The case follows a's kind alone: a sphere first is tested by its
    // surface point, anything else by box corners.
    PairSearch search(a, b, frames);

    // How fast the pair can close (its centres, and any point of one
    // against the other with the turns): the relative velocity at any time
    // up to the limit is v + 2 t a of the prediction p + t (v + t a).
    const double t = limit;
    const Vec3 va = a.predictVelocity(0.0f), vb = b.predictVelocity(0.0f);
    const double inverseA = 1.0 / static_cast<double>(a.mass), inverseB = 1.0 / static_cast<double>(b.mass);
    const Vec3 accel = inverseA * a.force - inverseB * b.force;
    const double closing = (va - vb).length() + 2.0 * t * accel.length();
    const double pointSpeed = closing + turnSpeedOf(a) + turnSpeedOf(b);
    const double travel = pointSpeed * (t * sampleFraction);
    const double allowed = travelPerLook * (thicknessOf(a) + thicknessOf(b));
    int looks = 1;
    if (travel > allowed) {
        const double wanted = std::ceil(travel / allowed);
        looks = wanted < mostLooksPerSample ? static_cast<int>(wanted) : mostLooksPerSample;
    }
    // Room for the rounding of the predictions when a gap is trusted to keep
    // the pair apart for a while (m).
    const double slack = 1e-9 * (a.position.length() + b.position.length() + 1.0) + 1e-9 * closing * t;

    // The samples k = 1..99 and the limit itself, each sample's interval
    // looked at `looks` times, in order: the first time that touches
    // decides, and the result is the time looked at before it, so the bodies
    // are moved to just short of touching. A time whose gap shows the pair
    // apart also shows that it stays apart for a while: its centres' gap
    // beyond their reaches for gap / closing, its shapes' gap for gap / the
    // speed of any point of one against the other. The times within that
    // are passed over, as their tests would find them apart.
    float before = 0.0f;       // the last time looked at (or passed over), 0 at first
    double apartUntil = -1.0;  // no time before this can touch
    for (int k = 1; k <= sampleCount; ++k) {
        const float to = k < sampleCount ? sampleTime(k, limit) : limit;
        if (static_cast<double>(to) < apartUntil) {
            // The whole interval is passed over; its last time is its end.
            before = to;
            continue;
        }
        const float from = sampleTime(k - 1, limit);
        for (int j = 1; j <= looks; ++j) {
            const float at = j == looks ? to
                                        : static_cast<float>(static_cast<double>(from) +
                                                             (static_cast<double>(to) - from) * j / looks);
            if (static_cast<double>(at) < apartUntil) {
                before = at;
                continue;
            }
            PairSearch::Clearance apart;
            const Vec3 contact = search.contactAt(at, apart);
            if (contact.length() > 0.0) {
                impact.sampled = true;
                impact.normalA = contact;
                // A ball that meets a box mirrors the box's motion about its
                // own direction of travel; every other pair shares the one
                // contact vector.
                impact.normalB = search.sphereCase() && !search.twoSpheres()
                                     ? search.sphereVelocity().normalized()
                                     : impact.normalA;
                impact.time = before;
                return impact;
            }
            before = at;
            const double centresFor = apart.centres > slack ? (apart.centres - slack) / closing : 0.0;
            const double shapesFor = apart.shapes > slack ? (apart.shapes - slack) / pointSpeed : 0.0;
            // NaN (a state not finite) passes nothing over.
            const double apartFor = std::max(centresFor, shapesFor);
            if (apartFor > 0.0 && passOver) apartUntil = static_cast<double>(at) + apartFor;
            // Apart up to the limit and beyond: nothing left to find.
            if (apartUntil > t) return impact;
        }
    }
    return impact;
}

}  // namespace

PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b) {
    return searchPair(limit, a, b, nullptr, true);
}

PairImpact pairImpact(float limit, const RigidBody& a, const RigidBody& b, PosedFrames& frames) {
    return searchPair(limit, a, b, &frames, true);
}

PairImpact pairImpactLookingEverywhere(float limit, const RigidBody& a, const RigidBody& b) {
    return searchPair(limit, a, b, nullptr, false);
}

}  // namespace prallwerk
