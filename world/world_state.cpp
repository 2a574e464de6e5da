// Snapshots of a world and the hash of its bodies' states.
#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "prallwerk/math/number_text.h"
#include "prallwerk/world/physical_rules.h"
#include "prallwerk/world/state_bytes.h"
#include "prallwerk/world/world.h"
#include "prallwerk/world/world_state.h"

namespace prallwerk {

namespace {

// A body's record of the world at rest: none (its start state is never
// read), its start state the body itself (all but the floor height, which
// is not compared), or its own start state.
enum RestTag : unsigned { noRest = 0, restAsBody = 1, restOwn = 2 };

std::string refused(const std::string& why) { return "snapshot: " + why; }

std::string number(float v) {
    std::string s;
    appendShortest(s, v);
    return s;
}

std::string kindName(int kind) {
    if (kind == kindSphere) return "a sphere";
    if (kind == kindBox) return "a box";
    return "inert (kind " + std::to_string(kind) + ")";
}

// The shape a body must have in common with the snapshot's: its kind, a
// sphere's radius, a box's edges. Empty when they agree.
std::string shapeDifference(int index, const RigidBody& here, const RigidBody& saved) {
    const std::string body = "body " + std::to_string(index);
    if (here.kind != saved.kind) return body + " is " + kindName(here.kind) + " here and " + kindName(saved.kind) + " in the snapshot";
    if (here.kind == kindSphere && !sameBits(here.radius, saved.radius)) {
        return body + ": radius " + number(here.radius) + " here and " + number(saved.radius) + " in the snapshot";
    }
    if (here.kind == kindBox && !(sameBits(here.box.length, saved.box.length) &&
                                  sameBits(here.box.width, saved.box.width) &&
                                  sameBits(here.box.height, saved.box.height))) {
        auto edges = [](const BoxShape& b) {
            return number(b.length) + " x " + number(b.width) + " x " + number(b.height);
        };
        return body + ": edges " + edges(here.box) + " here and " + edges(saved.box) + " in the snapshot";
    }
    return "";
}

// The index of a body named in the snapshot, -1 for none, as a pointer.
RigidBody* namedBody(const BodyList& bodies, int index) {
    return index < 0 ? nullptr : bodies[static_cast<size_t>(index)].get();
}

// The index of body among bodies sorted by address, or -1.
int indexIn(const std::vector<std::pair<const RigidBody*, int>>& byAddress, const RigidBody* body) {
    const auto at = std::lower_bound(byAddress.begin(), byAddress.end(), body, [](const auto& entry, const RigidBody* b) {
        return std::less<const RigidBody*>()(entry.first, b);
    });
    return at != byAddress.end() && at->first == body ? at->second : -1;
}

}  // namespace

std::vector<std::uint8_t> World::saveState() const {
    // The walk's own state is no snapshot's: no bytes, which nothing restores.
    if (walk_.active) return {};
    const int n = static_cast<int>(bodies.size());
    // A list a caller replaced since the last step has no record of rest:
    // the next step makes fresh buffers for it.
    const bool restHeld = bodies.size() == startStates_.size();
    std::vector<std::uint8_t> payload;
    payload.reserve(64 + static_cast<size_t>(n) * (bodyRecordSize + 16));
    StateWriter w(payload);
    w.u8(physical_ ? 1 : 0);
    const auto* gravityWorld = dynamic_cast<const GravityWorld*>(this);
    w.u8(gravityWorld != nullptr ? 1 : 0);
    if (gravityWorld != nullptr) w.vec(gravityWorld->gravity);
    w.f64(elapsedTime);
    w.i32(indexOf(hitA));
    w.i32(indexOf(hitB));
    w.vec(normalA);
    w.vec(normalB);
    w.u8(restHeld && still_ ? 1 : 0);
    w.f32(stillSpan_);
    // The contacts name their partners by address: the bodies sorted by it,
    // so that 10,000 bodies find theirs without a search of all.
    std::vector<std::pair<const RigidBody*, int>> byAddress;
    if (physical_) {
        byAddress.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) byAddress.emplace_back(bodies[static_cast<size_t>(i)].get(), i);
        std::sort(byAddress.begin(), byAddress.end(), [](const auto& a, const auto& b) {
            return std::less<const RigidBody*>()(a.first, b.first);
        });
    }
    for (int i = 0; i < n; ++i) {
        const RigidBody& body = *bodies[static_cast<size_t>(i)];
        w.body(body);
        const bool kept = restHeld && (still_ || stillIsland_[i] >= 0);
        if (!kept) {
            w.u8(noRest);
        } else if (sameBitsButFloor(body, startStates_[i])) {
            w.u8(restAsBody);
        } else {
            w.u8(restOwn);
            w.body(startStates_[i]);
        }
        if (kept) {
            w.f32(restFloors_[i]);
            w.i32(stillIsland_[i]);
            w.i32(stillSize_[i]);
        }
        if (!physical_) continue;
        const std::vector<PhysicalRules::KeptContact>* carried = physical_->carriedContacts(i, &body);
        // A partner that is no body of the world any more is never matched
        // again: it is left out.
        std::vector<std::pair<int, const PhysicalRules::KeptContact*>> contacts;
        if (carried != nullptr) {
            for (const PhysicalRules::KeptContact& c : *carried) {
                const int partner = c.partner == nullptr ? -1 : indexIn(byAddress, c.partner);
                if (c.partner == nullptr || partner >= 0) contacts.emplace_back(partner, &c);
            }
        }
        w.u32(static_cast<std::uint32_t>(contacts.size()));
        for (const auto& [partner, c] : contacts) {
            w.i32(partner);
            w.vec(c->position);
            w.f64(c->normalImpulse);
            w.f64(c->tangentImpulse1);
            w.f64(c->tangentImpulse2);
        }
    }

    std::vector<std::uint8_t> out;
    out.reserve(snapshotHeaderSize + payload.size());
    StateWriter h(out);
    for (std::uint8_t m : snapshotMagic) h.u8(m);
    h.u32(snapshotVersion);
    h.u32(static_cast<std::uint32_t>(n));
    h.u32(static_cast<std::uint32_t>(payload.size()));
    h.u64(fnv1a64(payload.data(), payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::uint64_t World::stateHash() const {
    std::vector<std::uint8_t> record;
    record.reserve(bodyRecordSize);
    std::uint64_t hash = fnvOffsetBasis;
    for (const auto& body : bodies) {
        record.clear();
        StateWriter(record).body(*body);
        hash = fnv1a64(record.data(), record.size(), hash);
    }
    return hash;
}

void World::restoreState(const std::uint8_t* bytes, std::size_t size) {
    if (std::optional<std::string> why = tryRestoreState(bytes, size)) throw std::invalid_argument(*why);
}

std::optional<std::string> World::tryRestoreState(const std::uint8_t* bytes, std::size_t size) {
    // Everything is read and checked before anything is written: a refused
    // snapshot leaves the world as it was.
    const std::string of = " of " + std::to_string(snapshotHeaderSize);
    if (size < snapshotHeaderSize) {
        return refused("truncated at byte " + std::to_string(size) + of + " (the header)");
    }
    StateReader h(bytes, snapshotHeaderSize);
    for (std::uint8_t m : snapshotMagic) {
        if (h.u8() != m) return refused("not a snapshot: its first bytes are not \"PRWS\"");
    }
    const std::uint32_t version = h.u32();
    if (version != snapshotVersion) {
        return refused("version " + std::to_string(version) + ", this engine reads version " +
                      std::to_string(snapshotVersion));
    }
    const std::uint32_t count = h.u32();
    const std::uint64_t payloadSize = h.u32();
    const std::uint64_t checksum = h.u64();
    const std::uint64_t total = snapshotHeaderSize + payloadSize;
    if (size < total) return refused("truncated at byte " + std::to_string(size) + " of " + std::to_string(total));
    if (size > total) {
        return refused(std::to_string(size) + " bytes, of which the snapshot is the first " + std::to_string(total));
    }
    const std::uint8_t* payload = bytes + snapshotHeaderSize;
    if (fnv1a64(payload, payloadSize) != checksum) return refused("the payload does not match its checksum (corrupted)");
    const int n = static_cast<int>(bodies.size());
    if (count != static_cast<std::uint32_t>(n)) {
        return refused(std::to_string(count) + " bodies in the snapshot and " + std::to_string(n) + " here");
    }
    for (int i = 0; i < n; ++i) {
        if (!bodies[static_cast<size_t>(i)]) return refused("body " + std::to_string(i) + " is missing here (null)");
    }

    StateReader r(payload, payloadSize);
    // Where a field a snapshot never holds was read (its offset in the file).
    auto unsound = [&](std::size_t at, const std::string& what) {
        return refused("byte " + std::to_string(snapshotHeaderSize + at) + ": " + what);
    };
    std::size_t at = r.offset();
    const unsigned physical = r.u8();
    if (physical > 1) return unsound(at, "rules " + std::to_string(physical) + ": must be 0 (classic) or 1 (physical)");
    at = r.offset();
    const unsigned hasGravity = r.u8();
    auto* gravityWorld = dynamic_cast<GravityWorld*>(this);
    if (hasGravity > 1) return unsound(at, "gravity flag " + std::to_string(hasGravity) + ": must be 0 or 1");
    if ((hasGravity == 1) != (gravityWorld != nullptr)) {
        return refused(hasGravity == 1 ? "the snapshot's world has a gravity, this one is no GravityWorld"
                                      : "the snapshot's world is no GravityWorld, this one is");
    }
    const Vec3 gravity = hasGravity == 1 ? r.vec() : Vec3{};
    const double elapsed = r.f64();
    int hit[2];
    for (int& k : hit) {
        at = r.offset();
        k = r.i32();
        if (k < -1 || k >= n) return unsound(at, "last impact's body " + std::to_string(k) + ": names no body");
    }
    const Vec3 normals[2] = {r.vec(), r.vec()};
    at = r.offset();
    const unsigned still = r.u8();
    if (still > 1) return unsound(at, "rest flag " + std::to_string(still) + ": must be 0 or 1");
    const float stillSpan = r.f32();

    struct Staged {
        RigidBody body{0.0f};
        unsigned rest = noRest;
        RigidBody start{0.0f};
        float restFloor = 0.0f;
        int stillIsland = -1;
        int stillSize = 0;
        std::vector<PhysicalRules::KeptContact> contacts;
    };
    std::vector<Staged> staged(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        Staged& s = staged[static_cast<size_t>(i)];
        const std::string body = "body " + std::to_string(i);
        at = r.offset();
        if (!r.body(s.body)) return unsound(at + flagsOffset, body + ": its flags byte has bits beside 1 and 2");
        if (r.overrun()) break;
        const std::string differs = shapeDifference(i, *bodies[static_cast<size_t>(i)], s.body);
        if (!differs.empty()) return refused(differs);
        at = r.offset();
        s.rest = r.u8();
        if (s.rest > restOwn) return unsound(at, body + ": rest record " + std::to_string(s.rest) + ": must be 0, 1 or 2");
        if (s.rest == restOwn) {
            at = r.offset();
            if (!r.body(s.start)) {
                return unsound(at + flagsOffset, body + ": its start state's flags byte has bits beside 1 and 2");
            }
        }
        if (s.rest == restAsBody) s.start = s.body;
        if (s.rest != noRest) {
            s.restFloor = r.f32();
            s.stillIsland = r.i32();
            s.stillSize = r.i32();
        }
        if (physical == 0) continue;
        const std::uint32_t contacts = r.u32();
        // A count beyond the bytes left is no count.
        if (contacts > (payloadSize - r.offset()) / contactRecordSize) break;
        s.contacts.resize(contacts);
        for (PhysicalRules::KeptContact& c : s.contacts) {
            at = r.offset();
            const int partner = r.i32();
            if (partner < -1 || partner >= n) {
                return unsound(at, body + ": contact partner " + std::to_string(partner) + ": names no body");
            }
            c.partner = namedBody(bodies, partner);
            c.position = r.vec();
            c.normalImpulse = r.f64();
            c.tangentImpulse1 = r.f64();
            c.tangentImpulse2 = r.f64();
        }
    }
    if (r.overrun() || r.offset() != payloadSize) {
        return refused("the payload's " + std::to_string(payloadSize) + " bytes do not hold the fields of " +
                      std::to_string(n) + " bodies");
    }

    // Fresh buffers, as a world built with these bodies has, then the
    // snapshot's record in them.
    fitBuffersToBodies();
    walk_ = Walk{};
    stepTime_ = 0.0;
    nextPart_ = false;
    lastStep = {};
    physical_.reset();
    if (physical == 1) physical_ = std::make_unique<PhysicalRules>();
    if (gravityWorld != nullptr) gravityWorld->gravity = gravity;
    elapsedTime = elapsed;
    hitA = namedBody(bodies, hit[0]);
    hitB = namedBody(bodies, hit[1]);
    normalA = normals[0];
    normalB = normals[1];
    still_ = still == 1;
    stillSpan_ = stillSpan;
    for (int i = 0; i < n; ++i) {
        Staged& s = staged[static_cast<size_t>(i)];
        RigidBody* body = bodies[static_cast<size_t>(i)].get();
        *body = s.body;
        startStates_[i] = s.start;
        restFloors_[i] = s.restFloor;
        stillIsland_[i] = s.stillIsland;
        stillSize_[i] = s.stillSize;
        if (physical_ && !s.contacts.empty()) physical_->carryContacts(i, body, std::move(s.contacts));
    }
    return std::nullopt;
}

}  // namespace prallwerk
