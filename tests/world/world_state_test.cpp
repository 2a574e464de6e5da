#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "prallwerk/scenes/body_def.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scene_file.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/frame_runner.h"
#include "prallwerk/world/state_bytes.h"
#include "prallwerk/world/world.h"
#include "prallwerk/world/world_state.h"

using namespace prallwerk;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Build = std::function<std::unique_ptr<World>()>;

std::unique_ptr<World> prepared(int scene) {
    buildSceneTable();
    auto world = std::make_unique<GravityWorld>();
    loadScene(*world, scene);
    return world;
}

std::unique_ptr<World> fromFile(const std::string& name) {
    const SceneRead read = readSceneFile(std::string(PRALLWERK_SOURCE_DIR) + "/scenes/files/" + name);
    if (read.error) ADD_FAILURE() << name << ": " << read.error->message();
    return std::move(buildWorld(read.scene).world);
}

std::unique_ptr<World> dropped(int n, Rules rules) {
    auto world = std::make_unique<DropWorld>(n);
    world->setRules(rules);
    return world;
}

// Boxes of edge 2 standing on the ground and on each other, still from the
// start: the world comes to rest within a few frames.
std::unique_ptr<World> stack(Rules rules) {
    std::vector<BodyDef> defs(3);
    for (int i = 0; i < 3; ++i) {
        defs[i].kind = kindBox;
        defs[i].length = defs[i].width = defs[i].height = 2.0f;
        defs[i].mass = 1.0f;
        defs[i].position = {i == 2 ? 6.0 : 0.0, 0.0, i == 1 ? 3.0 : 1.0};
    }
    return std::move(buildWorld(defs, defaultGravity, rules).world);
}

void runFrames(World& world, int frames) {
    for (int i = 0; i < frames; ++i) advanceFrame(world, frameSteps(16, 1.0f));
}

// What a frame leaves: the snapshot's bytes and what the step says it did
// (whether it replayed a world or islands at rest), which no body shows.
struct FrameRecord {
    Bytes state;
    bool atRest;
    int islandsAtRest;
    int impacts;
    bool operator==(const FrameRecord& o) const {
        return state == o.state && atRest == o.atRest && islandsAtRest == o.islandsAtRest && impacts == o.impacts;
    }
};

std::vector<FrameRecord> recordFrames(World& world, int frames) {
    std::vector<FrameRecord> records;
    for (int i = 0; i < frames; ++i) {
        runFrames(world, 1);
        records.push_back({world.saveState(), world.lastStep.atRest, world.lastStep.islandsAtRest,
                           world.lastStep.impacts()});
    }
    return records;
}

// The snapshot with the payload's checksum made to match it again.
Bytes resealed(Bytes bytes) {
    const std::uint64_t sum = fnv1a64(bytes.data() + snapshotHeaderSize, bytes.size() - snapshotHeaderSize);
    for (int k = 0; k < 8; ++k) bytes[16 + k] = static_cast<std::uint8_t>(sum >> (8 * k));
    return bytes;
}

std::string refusalOf(World& world, const Bytes& bytes) {
    const Bytes before = world.saveState();
    const std::string message = world.tryRestoreState(bytes.data(), bytes.size()).value_or("(accepted)");
    EXPECT_EQ(world.saveState(), before) << message << ": a refused snapshot changed the world";
    return message;
}

}  // namespace

// Saved at frame k and restored into the same world later, or into a fresh
// world built the same way, the world goes on as the one that saved it did:
// the same snapshot bytes after every following frame, and the same replays
// of rest. The scenes cover both rules, islands and worlds at rest, sleeping
// islands and the physical rules' warm-started contacts.
TEST(WorldState, RestoredWorldsContinueBitForBit) {
    struct Case {
        const char* name;
        Build build;
        int saveAt;
        std::function<void(World&)> touch;  // what a caller writes into the bodies before saving
    };
    const Case cases[] = {
        {"scene 0", [] { return prepared(0); }, 40, nullptr},
        {"scene 2", [] { return prepared(2); }, 150, nullptr},
        {"scene 3", [] { return prepared(3); }, 1, nullptr},
        {"stack, classic, at rest", [] { return stack(Rules::classic); }, 30, nullptr},
        {"stack, physical, asleep", [] { return stack(Rules::physical); }, 60, nullptr},
        // Written into after the step: its record of rest no longer matches it.
        {"stack, classic, a body pushed", [] { return stack(Rules::classic); }, 30,
         [](World& w) { w.bodies[1]->velocity.x = 0.5; }},
        {"stack, physical, a body pushed", [] { return stack(Rules::physical); }, 60,
         [](World& w) { w.bodies[2]->velocity.y = -0.5; }},
        {"drop 60, classic", [] { return dropped(60, Rules::classic); }, 120, nullptr},
        {"drop 60, physical", [] { return dropped(60, Rules::physical); }, 120, nullptr},
        {"tower of boxes", [] { return fromFile("tower_of_boxes.json"); }, 90, nullptr},
        {"physical tower", [] { return fromFile("physical_tower.json"); }, 20, nullptr},
        {"physical pyramid", [] { return fromFile("physical_pyramid.json"); }, 45, nullptr},
        {"physical ramps", [] { return fromFile("physical_ramps.json"); }, 70, nullptr},
        {"physical dominoes", [] { return fromFile("physical_dominoes.json"); }, 50, nullptr},
        {"physical cradle", [] { return fromFile("physical_newtons_cradle.json"); }, 10, nullptr},
    };
    constexpr int following = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<World> original = c.build();
        runFrames(*original, c.saveAt);
        if (c.touch) c.touch(*original);
        const Bytes saved = original->saveState();
        const std::vector<FrameRecord> want = recordFrames(*original, following);

        std::unique_ptr<World> fresh = c.build();
        fresh->restoreState(saved);
        EXPECT_EQ(fresh->saveState(), saved);
        EXPECT_TRUE(recordFrames(*fresh, following) == want) << "restored into a fresh world";

        original->restoreState(saved);
        EXPECT_TRUE(recordFrames(*original, following) == want) << "restored into the world that saved it";
    }
}

// The cases the continuation must have met to prove anything: a world
// replayed at rest, under either rules, and contacts carried (a contact's
// record is 52 bytes, a body's without any 398).
TEST(WorldState, TheContinuationsMeetRestAndCarriedContacts) {
    for (Rules rules : {Rules::classic, Rules::physical}) {
        std::unique_ptr<World> still = stack(rules);
        runFrames(*still, rules == Rules::classic ? 30 : 60);
        EXPECT_TRUE(still->lastStep.atRest) << rulesName(rules);
    }
    std::unique_ptr<World> tower = fromFile("physical_tower.json");
    runFrames(*tower, 20);
    const std::size_t bare = snapshotHeaderSize + 95 + static_cast<std::size_t>(tower->bodyCount) * 398;
    EXPECT_GE(tower->saveState().size(), bare + 4 * contactRecordSize * static_cast<std::size_t>(tower->bodyCount - 1));
}

// Every refusal names what is wrong and leaves the world byte for byte as
// it was.
TEST(WorldState, RefusesBadSnapshotsAndKeepsTheWorld) {
    // The payload's offsets in the file: the world's fields, then body 0's
    // record (its flags byte 388 bytes in), then body 0's rest tag.
    constexpr std::size_t hitA = 58, hitB = 62, still = 114, body0 = 119, rest0 = body0 + 393;
    std::unique_ptr<World> source = fromFile("physical_tower.json");
    runFrames(*source, 20);
    const Bytes good = source->saveState();
    const std::size_t size = good.size();
    std::unique_ptr<World> world = fromFile("physical_tower.json");
    runFrames(*world, 3);
    ASSERT_NE(world->saveState(), good);

    auto with = [&](std::size_t at, unsigned value) {
        Bytes b = good;
        b[at] = static_cast<std::uint8_t>(value);
        return b;
    };
    auto withInt = [&](std::size_t at, std::uint32_t value) {
        Bytes b = good;
        for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
        return b;
    };

    auto cut = [&](std::size_t length) { return Bytes(good.begin(), good.begin() + static_cast<long>(length)); };
    Bytes longer = good;
    longer.push_back(0);
    const std::string total = std::to_string(size);
    const std::uint32_t n = static_cast<std::uint32_t>(world->bodyCount);
    const std::string none = std::to_string(n) + ": names no body";
    ASSERT_EQ(good[rest0], 0) << "body 0 has no record of rest, and contacts follow";
    ASSERT_GT(good[rest0 + 1], 0);
    const struct {
        Bytes bytes;
        std::string message;
    } refusals[] = {
        {{}, "snapshot: truncated at byte 0 of 24 (the header)"},
        {cut(23), "snapshot: truncated at byte 23 of 24 (the header)"},
        {cut(24), "snapshot: truncated at byte 24 of " + total},
        {cut(size / 2), "snapshot: truncated at byte " + std::to_string(size / 2) + " of " + total},
        {cut(size - 1), "snapshot: truncated at byte " + std::to_string(size - 1) + " of " + total},
        {longer, "snapshot: " + std::to_string(size + 1) + " bytes, of which the snapshot is the first " + total},
        {with(0, 'Q'), "snapshot: not a snapshot: its first bytes are not \"PRWS\""},
        {with(3, 'T'), "snapshot: not a snapshot: its first bytes are not \"PRWS\""},
        {with(4, 7), "snapshot: version 7, this engine reads version 1"},
        {with(7, 1), "snapshot: version 16777217, this engine reads version 1"},
        {with(8, good[8] + 1), "snapshot: " + std::to_string(good[8] + 1) + " bodies in the snapshot and " +
                                   std::to_string(good[8]) + " here"},
        {with(12, good[12] ^ 1), ""},
        {with(16, good[16] ^ 0x80), "snapshot: the payload does not match its checksum (corrupted)"},
        {with(23, good[23] ^ 1), "snapshot: the payload does not match its checksum (corrupted)"},
        {with(24, good[24] ^ 4), "snapshot: the payload does not match its checksum (corrupted)"},
        {with(size / 2, good[size / 2] ^ 1), "snapshot: the payload does not match its checksum (corrupted)"},
        {with(size - 1, good[size - 1] ^ 0x10), "snapshot: the payload does not match its checksum (corrupted)"},
        // Fields no snapshot holds, under a checksum that matches them.
        {resealed(with(24, 2)), "snapshot: byte 24: rules 2: must be 0 (classic) or 1 (physical)"},
        {resealed(with(25, 2)), "snapshot: byte 25: gravity flag 2: must be 0 or 1"},
        {resealed(with(25, 0)), "snapshot: the snapshot's world is no GravityWorld, this one is"},
        {resealed(withInt(hitA, n)), "snapshot: byte 58: last impact's body " + none},
        {resealed(withInt(hitB, 0xfffffffe)), "snapshot: byte 62: last impact's body -2: names no body"},
        {resealed(with(still, 2)), "snapshot: byte 114: rest flag 2: must be 0 or 1"},
        {resealed(with(body0 + 388, 4)), "snapshot: byte 507: body 0: its flags byte has bits beside 1 and 2"},
        {resealed(with(rest0, 3)), "snapshot: byte 512: body 0: rest record 3: must be 0, 1 or 2"},
        {resealed(withInt(rest0 + 5, n)), "snapshot: byte 517: body 0: contact partner " + none},
    };
    for (const auto& r : refusals) {
        const std::string message = refusalOf(*world, r.bytes);
        if (r.message.empty()) {
            EXPECT_NE(message, "(accepted)");
        } else {
            EXPECT_EQ(message, r.message);
        }
    }
    // A payload whose fields end before its bytes do, and a contact's
    // partner that names no body.
    ASSERT_NE(good[12], 0);
    Bytes shorter = cut(size - 1);
    shorter[12] = static_cast<std::uint8_t>(shorter[12] - 1);  // the payload's size, one byte less (no carry here)
    EXPECT_EQ(refusalOf(*world, resealed(shorter)),
              "snapshot: the payload's " + std::to_string(size - 1 - snapshotHeaderSize) + " bytes do not hold the "
              "fields of " + std::to_string(world->bodyCount) + " bodies");
}

// Another world: other bodies, shapes or kinds, or no GravityWorld.
TEST(WorldState, RefusesAnotherWorld) {
    std::unique_ptr<World> scene = prepared(1);
    // The last impact, body 0 on body 2, comes back naming the same bodies.
    scene->hitA = scene->bodies[0].get();
    scene->hitB = scene->bodies[2].get();
    const Bytes saved = scene->saveState();
    struct Other {
        std::function<void(World&)> change;
        std::string message;
    } others[] = {
        {[](World& w) { w.eraseBody(6); }, "snapshot: 7 bodies in the snapshot and 6 here"},
        {[](World& w) { w.bodies[0]->radius = 0.5f; }, "snapshot: body 0: radius 0.5 here and 1 in the snapshot"},
        {[](World& w) { w.bodies[3]->box.width = 3.0f; }, "snapshot: body 3: edges 2 x 3 x 2 here and 2 x 2 x 2 in the snapshot"},
        {[](World& w) { w.bodies[2]->box.length = 1.0f; }, "snapshot: body 2: edges 1 x 2 x 2 here and 2 x 2 x 2 in the snapshot"},
        {[](World& w) { w.bodies[4]->box.height = 2.5f; }, "snapshot: body 4: edges 2 x 2 x 2.5 here and 2 x 2 x 2 in the snapshot"},
        {[](World& w) { w.bodies[2]->kind = kindSphere; }, "snapshot: body 2 is a sphere here and a box in the snapshot"},
        {[](World& w) { w.bodies[0]->kind = 0; }, "snapshot: body 0 is inert (kind 0) here and a sphere in the snapshot"},
    };
    for (const Other& o : others) {
        std::unique_ptr<World> world = prepared(1);
        o.change(*world);
        EXPECT_EQ(refusalOf(*world, saved), o.message);
    }
    std::unique_ptr<World> gap = prepared(1);
    gap->bodies[3].reset();
    EXPECT_EQ(gap->tryRestoreState(saved.data(), saved.size()).value_or("(accepted)"),
              "snapshot: body 3 is missing here (null)");
    DropWorld drop(7);
    EXPECT_EQ(refusalOf(drop, saved), "snapshot: the snapshot's world has a gravity, this one is no GravityWorld");
    // Mass, restitution and friction are state: they come from the snapshot.
    std::unique_ptr<World> heavier = prepared(1);
    heavier->bodies[1]->mass = 9.0f;
    heavier->bodies[1]->friction = 0.1f;
    heavier->restoreState(saved);
    EXPECT_EQ(heavier->saveState(), saved);
    EXPECT_EQ(heavier->hitA, heavier->bodies[0].get());
    EXPECT_EQ(heavier->hitB, heavier->bodies[2].get());
}

// A body removed under the physical rules leaves the contacts others kept
// with it: they never match again, and the snapshot leaves them out (body
// 0 keeps its four on the ground, not the four under the removed box), so
// the restored world goes on as the live one.
TEST(WorldState, LeavesOutContactsWithARemovedBody) {
    const auto build = [] {
        std::unique_ptr<World> world = stack(Rules::physical);
        runFrames(*world, 10);
        world->eraseBody(2);  // the box aside: the stacked pair stay bodies 0 and 1
        runFrames(*world, 1);
        world->eraseBody(1);  // the top box, the last of the bodies
        return world;
    };
    std::unique_ptr<World> live = build();
    const Bytes saved = live->saveState();
    EXPECT_EQ(saved.size(), snapshotHeaderSize + 95 + 398 + 4 * contactRecordSize);
    const std::vector<FrameRecord> want = recordFrames(*live, 30);
    std::unique_ptr<World> restored = build();
    restored->restoreState(saved);
    EXPECT_TRUE(recordFrames(*restored, 30) == want);
}

// The hash and the snapshot cover every bit of a body's fields: flipping
// any bit that is a field's (not padding; sameBits tells) changes the hash
// and comes back through a snapshot, but for the shape, which another
// world's snapshot may not change.
TEST(WorldState, HashAndSnapshotCoverEveryFieldBit) {
    static_assert(std::is_trivially_copyable<RigidBody>::value, "the body is flipped byte by byte");
    std::unique_ptr<World> world = fromFile("physical_crate_knocked.json");
    runFrames(*world, 30);
    std::unique_ptr<World> twin = fromFile("physical_crate_knocked.json");
    runFrames(*twin, 30);
    EXPECT_EQ(world->stateHash(), twin->stateHash());
    EXPECT_EQ(world->saveState(), twin->saveState());
    const std::uint64_t hash = world->stateHash();
    for (int index : {0, world->bodyCount - 1}) {
        RigidBody& body = *world->bodies[index];
        const RigidBody original = body;
        int fieldBytes = 0, shapeBytes = 0;
        for (std::size_t at = 0; at < sizeof(RigidBody); ++at) {
            RigidBody flipped = original;
            unsigned char* raw = reinterpret_cast<unsigned char*>(&flipped);
            // Bit 0 of a bool keeps it a bool.
            raw[at] ^= 1u;
            if (sameBits(flipped, original)) continue;
            ++fieldBytes;
            body = flipped;
            EXPECT_NE(world->stateHash(), hash) << "byte " << at;
            const Bytes saved = world->saveState();
            body = original;
            if (twin->tryRestoreState(saved.data(), saved.size())) {
                ++shapeBytes;
            } else {
                EXPECT_TRUE(sameBits(*twin->bodies[index], flipped)) << "byte " << at;
            }
        }
        // The two flags share a byte of the record.
        EXPECT_EQ(fieldBytes, static_cast<int>(bodyRecordSize) + 1) << "the record is every byte of the fields";
        EXPECT_EQ(shapeBytes, body.kind == kindBox ? 16 : 8) << "the kind and a box's edges or a sphere's radius";
    }
}

// The same numbers on every platform: a platform that rounds one bit
// otherwise, or writes a byte in another order, fails here.
TEST(WorldState, PinnedHashesAndSnapshots) {
    std::unique_ptr<World> classic = prepared(2);
    runFrames(*classic, 100);
    std::unique_ptr<World> physical = fromFile("physical_pyramid.json");
    runFrames(*physical, 100);
    EXPECT_EQ(classic->stateHash(), 0xe14f08e0ccbccbb5ull);
    const Bytes a = classic->saveState();
    EXPECT_EQ(fnv1a64(a.data(), a.size()), 0x4cb3f4e78025caf3ull);
    EXPECT_EQ(physical->stateHash(), 0x12f376556b606c11ull);
    const Bytes b = physical->saveState();
    EXPECT_EQ(fnv1a64(b.data(), b.size()), 0x608768bc469b58f4ull);
    EXPECT_EQ(fnv1a64(reinterpret_cast<const std::uint8_t*>("a"), 1), 0xaf63dc4c8601ec8cull);
}

// A walk's own state is no snapshot's: saved while a step is walked
// impact by impact, a world gives no bytes.
TEST(WorldState, SavesBetweenStepsOnly) {
    std::unique_ptr<World> world = prepared(0);
    StepInProgress step = world->beginStep(0.016f);
    EXPECT_TRUE(world->saveState().empty());
    while (world->resolveNextImpact(step)) {
    }
    EXPECT_FALSE(world->saveState().empty());
}

// restoreState throws what tryRestoreState says; a WebAssembly build
// without exception catching cannot catch it (the engine's own callers,
// the trace tool too, use tryRestoreState).
TEST(WorldState, RestoreThrowsTheRefusal) {
#if defined(__EMSCRIPTEN__) && !defined(__USING_EMSCRIPTEN_EXCEPTIONS__) && !defined(__USING_WASM_EXCEPTIONS__)
    GTEST_SKIP() << "no exception catching in this build";
#else
    std::unique_ptr<World> world = prepared(0);
    Bytes bytes = world->saveState();
    bytes[4] = 2;
    try {
        world->restoreState(bytes);
        ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "snapshot: version 2, this engine reads version 1");
    }
#endif
}
