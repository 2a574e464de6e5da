#pragma once

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/core/floor_finder.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"

// A world whose searches run as the plain loops do, every time: every body
// of an island is searched for its ground impact and every pair of it for
// its own, lower index first, and every floor is found by
// computeFloorHeight over the island's bodies. The engine's own world skips
// pairs, copies floors and replays the steps of a world at rest only where
// that provably changes nothing, so the two must agree bit for bit.
template <class Base>
class Unculled : public Base {
public:
    using Base::Base;

    // The pair search itself, every box turned afresh for every pair.
    float pairTimeOfImpact(prallwerk::Island& island, float limit, prallwerk::RigidBody* a,
                           prallwerk::RigidBody* b) override {
        const prallwerk::PairImpact impact = prallwerk::pairImpact(limit, *a, *b);
        if (impact.sampled) {
            island.normalA = impact.normalA;
            island.normalB = impact.normalB;
        }
        return impact.time;
    }

    float earliestGroundHit(prallwerk::Island& island, float dt) override {
        float best = dt;
        for (int k = 0; k < island.count; ++k) {
            prallwerk::RigidBody& body = *island.bodies[k];
            const prallwerk::GroundImpact impact = prallwerk::groundTimeOfImpact(body, best);
            if (body.kind == prallwerk::kindBox) body.radius = impact.lowestCorner;
            if (impact.time > 0.0f && impact.time < best) {
                best = impact.time;
                island.hitA = &body;
            }
        }
        return best == dt ? -1.0f : best;
    }

    float earliestPairHit(prallwerk::Island& island, float limit) override {
        float best = limit;
        prallwerk::Vec3 takenA, takenB;
        bool taken = false;
        for (int i = 0; i + 1 < island.count; ++i) {
            for (int j = i + 1; j < island.count; ++j) {
                const float r = this->pairTimeOfImpact(island, best, island.bodies[i], island.bodies[j]);
                if (r > 0.0f && r < best) {
                    best = r;
                    island.hitA = island.bodies[i];
                    island.hitB = island.bodies[j];
                    takenA = island.normalA;
                    takenB = island.normalB;
                    taken = true;
                }
            }
        }
        if (taken) {
            island.normalA = takenA;
            island.normalB = takenB;
        }
        return best == limit ? -1.0f : best;
    }

    void advanceAll(prallwerk::Island& island, prallwerk::RigidBody* skipA, prallwerk::RigidBody* skipB,
                    float dt) override {
        for (int k = 0; k < island.count; ++k) {
            prallwerk::computeFloorHeight(island.bodies, island.count, k);
            prallwerk::RigidBody* body = island.bodies[k];
            if (body != skipA && body != skipB) body->advanceFree(dt);
        }
    }
};
