#include "prallwerk/collision/contact_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "prallwerk/collision/contact_components.h"
#include "prallwerk/core/physical_body.h"

namespace prallwerk {

namespace {

Vec3 crossOf(const Vec3& a, const Vec3& b) {
    Vec3 c;
    return c.cross(a, b);
}

// The pair's inverse mass along direction d at the point: how fast the
// point's relative velocity along d changes per unit impulse along d.
double inverseMassAlong(const SolverBody& a, const SolverBody& b, const Vec3& ra, const Vec3& rb, const Vec3& d) {
    const Vec3 ta = a.inverseInertia * crossOf(ra, d);
    const Vec3 tb = b.inverseInertia * crossOf(rb, d);
    return a.inverseMass + b.inverseMass + dot(d, crossOf(ta, ra)) + dot(d, crossOf(tb, rb));
}

double massFrom(double inverse) { return inverse > 0.0 ? 1.0 / inverse : 0.0; }

// Always inline, as the pushes below: the passes ask for them at every
// point, tens of thousands of times a step in a pile, and GCC left them
// calls (a tenth of the peer scene's time).
[[gnu::always_inline]] inline Vec3 velocityOfPoint(const SolverBody& s, const Vec3& r) {
    if (s.body == nullptr) return {};
    return s.body->velocity + crossOf(s.body->spin, r);
}

[[gnu::always_inline]] inline Vec3 velocityAt(const std::vector<SolverBody>& bodies, const SolverContact& c) {
    return velocityOfPoint(bodies[static_cast<size_t>(c.a)], c.ra) -
           velocityOfPoint(bodies[static_cast<size_t>(c.b)], c.rb);
}

// Impulse p at the point: to a as it is, to b opposite.
void push(std::vector<SolverBody>& bodies, const SolverContact& c, const Vec3& p) {
    SolverBody& a = bodies[static_cast<size_t>(c.a)];
    SolverBody& b = bodies[static_cast<size_t>(c.b)];
    if (a.body != nullptr && a.inverseMass > 0.0) {
        a.body->velocity = a.body->velocity + a.inverseMass * p;
        a.body->spin = a.body->spin + a.inverseInertia * crossOf(c.ra, p);
    }
    if (b.body != nullptr && b.inverseMass > 0.0) {
        b.body->velocity = b.body->velocity - b.inverseMass * p;
        b.body->spin = b.body->spin - b.inverseInertia * crossOf(c.rb, p);
    }
}

// Two unit vectors that make a right-handed basis with the unit normal n,
// chosen from n alone, so that a contact's friction axes stay put while its
// normal does (the warm start carries their impulses over).
void tangentsOf(const Vec3& n, Vec3& t1, Vec3& t2) {
    // The axis least along n gives the best-conditioned cross product.
    constexpr double oneOverRootThree = 0.57735026918962576;
    if (std::fabs(n.x) >= oneOverRootThree) {
        t1 = Vec3{n.y, -n.x, 0.0}.normalized();
    } else {
        t1 = Vec3{0.0, n.z, -n.y}.normalized();
    }
    t2 = crossOf(n, t1);
}

// Passes end once one changes no point's speed by more than this (m/s).
constexpr double settledChange = 1e-9;

// A friction impulse whose square is at most this share of its bound's
// square is within the cone whatever the roundings (a few parts in 1e16).
constexpr double insideCone = 0.999999;
constexpr double smallestConeBound = 1e-100;  // N s
constexpr double largestConeBound = 1e100;

// Rounds over one pair's points in each pass.
constexpr int manifoldRounds = 4;

// Rounds over one pair's points in the last pass from what holds still.
constexpr int shockRounds = 10;

// The shock pass's pushes gathered per point of a pair (per thread: islands
// run on several).
std::vector<double>& shockScratch() {
    thread_local std::vector<double> gathered;
    return gathered;
}

// The world inverse inertia R I^-1 R^T of a body's orientation.
Mat3 inverseInertiaOf(const RigidBody& body) {
    const Vec3 inertia = principalInertia(body);
    const double d[3] = {massFrom(inertia.x), massFrom(inertia.y), massFrom(inertia.z)};
    const Mat3 r = matrixOf(body.orientation);
    const double m[3][3] = {{r.row[0].x, r.row[0].y, r.row[0].z},
                            {r.row[1].x, r.row[1].y, r.row[1].z},
                            {r.row[2].x, r.row[2].y, r.row[2].z}};
    double out[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            out[i][j] = m[i][0] * d[0] * m[j][0] + m[i][1] * d[1] * m[j][1] + m[i][2] * d[2] * m[j][2];
        }
    }
    Mat3 w;
    for (int i = 0; i < 3; ++i) w.row[i] = {out[i][0], out[i][1], out[i][2]};
    return w;
}

// Everything the impact's velocities were, to go back to.
struct Velocities {
    Vec3 velocity, spin;
};

std::vector<Velocities> velocitiesOf(const std::vector<SolverBody>& bodies) {
    std::vector<Velocities> v;
    v.reserve(bodies.size());
    for (const SolverBody& s : bodies) {
        v.push_back(s.body != nullptr ? Velocities{s.body->velocity, s.body->spin} : Velocities{});
    }
    return v;
}

void restore(std::vector<SolverBody>& bodies, const std::vector<Velocities>& v) {
    for (size_t i = 0; i < bodies.size(); ++i) {
        if (bodies[i].body == nullptr) continue;
        bodies[i].body->velocity = v[i].velocity;
        bodies[i].body->spin = v[i].spin;
    }
}

// The passes work on the bodies' velocities and spins copied side by side
// (Motion), not through the bodies: the points of a heap reach bodies all
// over the heap's memory, a record apiece, and the passes read and write
// each one tens of times. The arithmetic is push's, term for term.
struct Motion {
    Vec3 velocity, spin;
};

[[gnu::always_inline]] inline Vec3 motionOfPoint(const SolverBody& s, const Motion& m, const Vec3& r) {
    if (s.body == nullptr) return {};
    return m.velocity + crossOf(m.spin, r);
}

[[gnu::always_inline]] inline Vec3 motionAt(const std::vector<SolverBody>& bodies, const Motion* motions,
                                            const SolverContact& c) {
    const size_t a = static_cast<size_t>(c.a), b = static_cast<size_t>(c.b);
    return motionOfPoint(bodies[a], motions[a], c.ra) - motionOfPoint(bodies[b], motions[b], c.rb);
}

// Impulse d along the point's direction k (0 the normal, 1 and 2 the
// tangents), or t1 and t2 along both tangents: to a as it is, to b opposite,
// through the turns prepareContacts worked out.
[[gnu::always_inline]] inline void moveAlong(const std::vector<SolverBody>& bodies, Motion* motions,
                                             const SolverContact& c, int k, const Vec3& direction, double d) {
    const SolverBody& a = bodies[static_cast<size_t>(c.a)];
    const SolverBody& b = bodies[static_cast<size_t>(c.b)];
    if (a.body != nullptr && a.inverseMass > 0.0) {
        Motion& m = motions[static_cast<size_t>(c.a)];
        m.velocity = m.velocity + (a.inverseMass * d) * direction;
        m.spin = m.spin + d * c.turnA[k];
    }
    if (b.body != nullptr && b.inverseMass > 0.0) {
        Motion& m = motions[static_cast<size_t>(c.b)];
        m.velocity = m.velocity - (b.inverseMass * d) * direction;
        m.spin = m.spin - d * c.turnB[k];
    }
}

[[gnu::always_inline]] inline void moveTangents(const std::vector<SolverBody>& bodies, Motion* motions,
                                                const SolverContact& c, double t1, double t2) {
    const SolverBody& a = bodies[static_cast<size_t>(c.a)];
    const SolverBody& b = bodies[static_cast<size_t>(c.b)];
    const Vec3 p = t1 * c.tangent1 + t2 * c.tangent2;
    if (a.body != nullptr && a.inverseMass > 0.0) {
        Motion& m = motions[static_cast<size_t>(c.a)];
        m.velocity = m.velocity + a.inverseMass * p;
        m.spin = m.spin + (t1 * c.turnA[1] + t2 * c.turnA[2]);
    }
    if (b.body != nullptr && b.inverseMass > 0.0) {
        Motion& m = motions[static_cast<size_t>(c.b)];
        m.velocity = m.velocity - b.inverseMass * p;
        m.spin = m.spin - (t1 * c.turnB[1] + t2 * c.turnB[2]);
    }
}

// Friction first, bounded by the normal impulse gathered so far, so that
// the normal impulse, solved last, is what the pass leaves exact: no point
// sinks for friction's sake. Returns whether the point's impulses changed
// a speed by settledChange or more; once one point of a pass has, the
// pass has not settled, and the others' changes (three divisions a point)
// are not worked out.
bool solvePoint(const std::vector<SolverBody>& bodies, Motion* motions, SolverContact& c, bool measure) {
    const Vec3 v = motionAt(bodies, motions, c);
    const double old1 = c.tangentImpulse1, old2 = c.tangentImpulse2;
    double t1 = old1 - c.tangentMass1 * dot(v, c.tangent1);
    double t2 = old2 - c.tangentMass2 * dot(v, c.tangent2);
    // The Coulomb cone: the tangential impulse at most friction times the
    // normal one, in any direction.
    const double most = c.friction * c.normalImpulse;
    const double squared = t1 * t1 + t2 * t2;
    // Well inside the cone the root is not needed: the square is below the
    // bound's square by far more than its roundings, so the root, correctly
    // rounded and never above the bound, does not pass it either. Most
    // resting points hold there, and the root was the slowest step of a
    // point. (Bounds whose squares would leave the normal range, or none
    // at all, take the root.)
    const bool roomy = most > smallestConeBound && most < largestConeBound;
    if (!(roomy && squared <= insideCone * (most * most))) {
        const double size = std::sqrt(squared);
        if (size > most) {
            const double s = size > 0.0 ? most / size : 0.0;
            t1 *= s;
            t2 *= s;
        }
    }
    c.tangentImpulse1 = t1;
    c.tangentImpulse2 = t2;
    moveTangents(bodies, motions, c, t1 - old1, t2 - old2);

    const double vn = dot(motionAt(bodies, motions, c), c.normal);
    const double old = c.normalImpulse;
    c.normalImpulse = std::max(0.0, old - c.normalMass * (vn - c.bounce));
    moveAlong(bodies, motions, c, 0, c.normal, c.normalImpulse - old);
    if (!measure) return true;
    // The largest speed the point's impulses changed (m/s).
    const double normalChange = c.normalMass > 0.0 ? std::fabs(c.normalImpulse - old) / c.normalMass : 0.0;
    const double t1Change = c.tangentMass1 > 0.0 ? std::fabs(t1 - old1) / c.tangentMass1 : 0.0;
    const double t2Change = c.tangentMass2 > 0.0 ? std::fabs(t2 - old2) / c.tangentMass2 : 0.0;
    return std::max(normalChange, std::max(t1Change, t2Change)) >= settledChange;
}

double energyOf(const std::vector<SolverBody>& bodies) {
    double e = 0.0;
    for (const SolverBody& s : bodies) {
        if (s.body != nullptr && s.inverseMass > 0.0) e += kineticEnergy(*s.body);
    }
    return e;
}

}  // namespace

double combinedFriction(float a, float b) { return std::sqrt(static_cast<double>(a) * static_cast<double>(b)); }

double combinedRestitution(float a, float b) { return static_cast<double>(std::max(a, b)); }

SolverBody solverBodyOf(RigidBody* body) {
    SolverBody s;
    s.body = body;
    if (body == nullptr) return s;
    s.inverseMass = inverseMassOf(*body);
    if (s.inverseMass > 0.0) s.inverseInertia = inverseInertiaOf(*body);
    return s;
}

Vec3 relativeVelocity(const std::vector<SolverBody>& bodies, const SolverContact& c) { return velocityAt(bodies, c); }

void prepareContacts(const std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts) {
    for (SolverContact& c : contacts) {
        const SolverBody& a = bodies[static_cast<size_t>(c.a)];
        const SolverBody& b = bodies[static_cast<size_t>(c.b)];
        c.ra = a.body != nullptr ? c.position - a.body->position : Vec3{};
        c.rb = b.body != nullptr ? c.position - b.body->position : Vec3{};
        tangentsOf(c.normal, c.tangent1, c.tangent2);
        const Vec3* directions[3] = {&c.normal, &c.tangent1, &c.tangent2};
        for (int k = 0; k < 3; ++k) {
            c.turnA[k] = a.inverseInertia * crossOf(c.ra, *directions[k]);
            c.turnB[k] = b.inverseInertia * crossOf(c.rb, *directions[k]);
        }
        c.normalMass = massFrom(inverseMassAlong(a, b, c.ra, c.rb, c.normal));
        c.tangentMass1 = massFrom(inverseMassAlong(a, b, c.ra, c.rb, c.tangent1));
        c.tangentMass2 = massFrom(inverseMassAlong(a, b, c.ra, c.rb, c.tangent2));
        const double approach = dot(relativeVelocity(bodies, c), c.normal);
        c.bounce = approach < -bounceSpeed ? -c.restitution * approach : 0.0;
    }
}

void warmStart(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts) {
    for (const SolverContact& c : contacts) {
        push(bodies, c, c.normalImpulse * c.normal + c.tangentImpulse1 * c.tangent1 + c.tangentImpulse2 * c.tangent2);
    }
}

namespace {

// Masses further apart than this ratio within one set of contacts give it
// unevenPasses times the passes.
constexpr double unevenMasses = 10.0;
constexpr int unevenPasses = 10;

}  // namespace

void solveVelocities(std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts, int passes) {
    // Each set of bodies that the contacts hold together is solved on its
    // own, pass after pass until it settles: a stack at rest, warm started,
    // settles in a pass or two, while a heap beside it in the same island
    // that something still moves takes all the passes. Solved together,
    // the stack went on through every pass the heap needed. (Per thread:
    // islands run on several.)
    thread_local ContactComponents components;
    components.split(bodies, contacts);
    // Each body that moves is in the list once: its motion is copied in
    // here and back when the passes are done.
    thread_local std::vector<Motion> motionsKept;
    std::vector<Motion>& motions = motionsKept;
    motions.resize(bodies.size());
    for (size_t i = 0; i < bodies.size(); ++i) {
        const RigidBody* body = bodies[i].body;
        motions[i] = body != nullptr ? Motion{body->velocity, body->spin} : Motion{};
    }
    size_t begin = 0;
    for (size_t end : components.ends) {
        // A light body under a heavy one hands the weight on a share as
        // small as their masses' ratio each pass: sets of bodies far apart
        // in mass take more passes to settle.
        double lightest = HUGE_VAL, heaviest = 0.0;
        for (size_t r = begin; r < end; ++r) {
            const SolverContact& c = contacts[components.runs[r].first];
            for (int k : {c.a, c.b}) {
                const double inverse = bodies[static_cast<size_t>(k)].inverseMass;
                if (!(inverse > 0.0)) continue;
                lightest = std::min(lightest, inverse);
                heaviest = std::max(heaviest, inverse);
            }
        }
        const int setPasses = heaviest > unevenMasses * lightest ? unevenPasses * passes : passes;
        for (int pass = 0; pass < setPasses; ++pass) {
            bool changed = false;
            // The points of one pair of bodies are gone over a few times
            // before the next pair's: a face's points pass their shares of
            // the weight among themselves, rather than tilting the bodies
            // while the rest of the island waits. Once a round moves none of
            // them by the settling threshold they have shared it out, as a
            // settled pass has: the rounds left would change nothing a body
            // shows, and in a pile at rest but for one body they were most
            // of the solver's work.
            for (size_t r = begin; r < end; ++r) {
                const ContactComponents::Run run = components.runs[r];
                const int rounds = run.last - run.first > 1 ? manifoldRounds : 1;
                for (int round = 0; round < rounds; ++round) {
                    bool moved = false;
                    for (size_t i = run.first; i < run.last; ++i) {
                        moved = solvePoint(bodies, motions.data(), contacts[i], !moved) || moved;
                    }
                    changed = changed || moved;
                    if (!moved) break;
                }
            }
            // A pass that moved no point by more than this has converged:
            // the rest would change nothing a body shows.
            if (!changed) break;
        }
        begin = end;
    }
    for (size_t i = 0; i < bodies.size(); ++i) {
        RigidBody* body = bodies[i].body;
        if (body == nullptr || !(bodies[i].inverseMass > 0.0)) continue;
        body->velocity = motions[i].velocity;
        body->spin = motions[i].spin;
    }
}

void propagateShock(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts) {
    constexpr int unheld = std::numeric_limits<int>::max();
    const size_t count = bodies.size();
    std::vector<int> level(count, unheld);
    for (size_t i = 0; i < count; ++i) {
        if (!(bodies[i].inverseMass > 0.0)) level[i] = 0;
    }
    // Levels through the contacts, one more each round until none changes
    // (a stack of n takes n rounds).
    for (size_t round = 0; round < count; ++round) {
        bool changed = false;
        for (const SolverContact& c : contacts) {
            int& a = level[static_cast<size_t>(c.a)];
            int& b = level[static_cast<size_t>(c.b)];
            if (b != unheld && b + 1 < a) a = b + 1, changed = true;
            if (a != unheld && a + 1 < b) b = a + 1, changed = true;
        }
        if (!changed) break;
    }
    // The points of one pair follow each other.
    struct Group {
        size_t first, last;
        int lower;
    };
    std::vector<Group> groups;
    for (size_t first = 0; first < contacts.size();) {
        size_t last = first + 1;
        while (last < contacts.size() && contacts[last].a == contacts[first].a && contacts[last].b == contacts[first].b) ++last;
        const int a = level[static_cast<size_t>(contacts[first].a)], b = level[static_cast<size_t>(contacts[first].b)];
        if (a != b && a != unheld && b != unheld) groups.push_back({first, last, std::min(a, b)});
        first = last;
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& x, const Group& y) { return x.lower < y.lower; });
    // The points of a pair share the push among them over shockRounds
    // rounds, each point's gathered push never below 0: one at a time, or
    // as one at their centre, they let the upper body turn about the point
    // that holds it, down at its other end, and a light plate under a heavy
    // ball tilted into the ground step after step.
    std::vector<double>& gathered = shockScratch();
    for (const Group& g : groups) {
        const SolverContact& first = contacts[g.first];
        const bool aUpper = level[static_cast<size_t>(first.a)] > level[static_cast<size_t>(first.b)];
        SolverBody& upper = bodies[static_cast<size_t>(aUpper ? first.a : first.b)];
        if (upper.body == nullptr || !(upper.inverseMass > 0.0)) continue;
        gathered.assign(g.last - g.first, 0.0);
        const int rounds = g.last - g.first > 1 ? shockRounds : 1;
        for (int round = 0; round < rounds; ++round) {
            for (size_t i = g.first; i < g.last; ++i) {
                const SolverContact& c = contacts[i];
                const Vec3& r = aUpper ? c.ra : c.rb;
                // Along the normal, from the lower body toward the upper one.
                const Vec3 n = aUpper ? c.normal : c.normal.negated();
                // A point still apart by a gap may close it, no more; none is
                // sent off faster than the passes asked.
                const double want = std::min(0.0, c.bounce);
                const double apart = dot(relativeVelocity(bodies, c), c.normal);
                // The upper body's point is slowed as far as it sinks, no
                // further: pushing it off a lower body that rises into it
                // would hand it energy that nothing takes from the lower one.
                const double sinking = -dot(velocityOfPoint(upper, r), n);
                // At least the upper body's inverse mass, above 0: its turn
                // adds (r x n) I^-1 (r x n), never negative.
                const Vec3 t = upper.inverseInertia * crossOf(r, n);
                const double inverse = upper.inverseMass + dot(n, crossOf(t, r));
                double& push = gathered[i - g.first];
                const double next = std::max(push + std::min(want - apart, sinking) / inverse, 0.0);
                const Vec3 p = (next - push) * n;
                push = next;
                upper.body->velocity = upper.body->velocity + upper.inverseMass * p;
                upper.body->spin = upper.body->spin + upper.inverseInertia * crossOf(r, p);
            }
        }
    }
}

void correctPositions(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts, int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        for (const SolverContact& c : contacts) {
            SolverBody& a = bodies[static_cast<size_t>(c.a)];
            SolverBody& b = bodies[static_cast<size_t>(c.b)];
            // The overlap as the corrections so far have moved the point's
            // two sides apart.
            const Vec3 movedA = a.shift + crossOf(a.turn, c.ra);
            const Vec3 movedB = b.shift + crossOf(b.turn, c.rb);
            const double depth = c.depth - dot(movedA - movedB, c.normal);
            const double want = std::min(correctionShare * (depth - contactSlop), largestCorrection);
            if (!(want > 0.0) || !(c.normalMass > 0.0)) continue;
            const double lambda = c.normalMass * want;
            const Vec3 p = lambda * c.normal;
            a.shift = a.shift + a.inverseMass * p;
            a.turn = a.turn + a.inverseInertia * crossOf(c.ra, p);
            b.shift = b.shift - b.inverseMass * p;
            b.turn = b.turn - b.inverseInertia * crossOf(c.rb, p);
        }
    }
}

void applyCorrections(std::vector<SolverBody>& bodies) {
    for (SolverBody& s : bodies) {
        if (s.body == nullptr || !(s.inverseMass > 0.0)) continue;
        s.body->position = s.body->position + s.shift;
        if (!isZero(s.turn)) setOrientation(*s.body, turnedBy(s.body->orientation, s.turn, 1.0));
        s.shift = {};
        s.turn = {};
    }
}

double kineticEnergy(const RigidBody& body) {
    const Vec3 inertia = principalInertia(body);
    const Vec3 w = unrotated(body.orientation, body.spin);  // in the body's own axes
    const double turning = inertia.x * w.x * w.x + inertia.y * w.y * w.y + inertia.z * w.z * w.z;
    return 0.5 * static_cast<double>(body.mass) * dot(body.velocity, body.velocity) + 0.5 * turning;
}

void stopAtCentre(std::vector<SolverBody>& bodies, const std::vector<SolverContact>& contacts) {
    SolverContact centre = contacts.front();
    Vec3 sum, normals;
    size_t count = 0;
    for (const SolverContact& c : contacts) {
        if (c.a != centre.a || c.b != centre.b) break;
        sum = sum + c.position;
        normals = normals + c.normal;
        ++count;
    }
    centre.position = (1.0 / static_cast<double>(count)) * sum;
    centre.normal = normals.normalized();
    centre.restitution = 0.0;
    std::vector<SolverContact> one{centre};
    prepareContacts(bodies, one);
    one[0].friction = 0.0;
    solveVelocities(bodies, one, 1);
}

int resolveImpact(std::vector<SolverBody>& bodies, std::vector<SolverContact>& contacts) {
    const std::vector<Velocities> before = velocitiesOf(bodies);
    const double energy = energyOf(bodies);
    // Rounding aside: a pass that changes nothing may round the energy up in
    // its last bits.
    const double allowed = energy + 1e-12 * (energy + 1.0);
    for (SolverContact& c : contacts) c.normalImpulse = c.tangentImpulse1 = c.tangentImpulse2 = 0.0;
    prepareContacts(bodies, contacts);
    solveVelocities(bodies, contacts, impactPasses);
    propagateShock(bodies, contacts);
    if (energyOf(bodies) <= allowed) return impactPasses;

    // Newton's restitution at several points at once can give energy; none
    // at all cannot, pass by pass, but a friction bound that shrinks with
    // the normal impulse may still.
    restore(bodies, before);
    for (SolverContact& c : contacts) {
        c.normalImpulse = c.tangentImpulse1 = c.tangentImpulse2 = 0.0;
        c.bounce = 0.0;
    }
    solveVelocities(bodies, contacts, impactPasses);
    propagateShock(bodies, contacts);
    if (energyOf(bodies) <= allowed) return impactPasses;

    // Last: one plastic impulse at the impact's centre.
    restore(bodies, before);
    stopAtCentre(bodies, contacts);
    return 0;
}

}  // namespace prallwerk
