#pragma once

#include "prallwerk/collision/ground_contact.h"
#include "prallwerk/collision/pair_impact.h"
#include "prallwerk/core/free_flight.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"

// A world whose searches run as the plain loops do, every time: every body
// is searched for its ground impact and every pair for its own, lower index
// first, and every floor is found by computeFloorHeight. The engine's own
// world skips pairs, copies floors and replays the steps of a world at rest
// only where that provably changes nothing, so the two must agree bit for
// bit.
template <class Base>
class Unculled : public Base {
public:
    using Base::Base;

    // The pair search itself, every box turned afresh for every pair.
    float pairTimeOfImpact(float limit, prallwerk::RigidBody* a, prallwerk::RigidBody* b) override {
        const prallwerk::PairImpact impact = prallwerk::pairImpact(limit, *a, *b);
        if (impact.sampled) {
            this->normalA = impact.normalA;
            this->normalB = impact.normalB;
        }
        return impact.time;
    }

    float earliestGroundHit(float dt) override {
        float best = dt;
        for (int i = 0; i < this->bodyCount; ++i) {
            prallwerk::RigidBody& body = *this->bodies[i];
            const prallwerk::GroundImpact impact = prallwerk::groundTimeOfImpact(body, best);
            if (body.kind == prallwerk::kindBox) body.radius = impact.lowestCorner;
            if (impact.time > 0.0f && impact.time < best) {
                best = impact.time;
                this->hitA = &body;
            }
        }
        return best == dt ? -1.0f : best;
    }

    float earliestPairHit(float limit) override {
        float best = limit;
        prallwerk::Vec3 takenA, takenB;
        bool taken = false;
        for (int i = 0; i + 1 < this->bodyCount; ++i) {
            for (int j = i + 1; j < this->bodyCount; ++j) {
                const float r = this->pairTimeOfImpact(best, this->bodies[i].get(), this->bodies[j].get());
                if (r > 0.0f && r < best) {
                    best = r;
                    this->hitA = this->bodies[i].get();
                    this->hitB = this->bodies[j].get();
                    takenA = this->normalA;
                    takenB = this->normalB;
                    taken = true;
                }
            }
        }
        if (taken) {
            this->normalA = takenA;
            this->normalB = takenB;
        }
        return best == limit ? -1.0f : best;
    }

    void advanceAll(prallwerk::RigidBody* skipA, prallwerk::RigidBody* skipB, float dt) override {
        for (int i = 0; i < this->bodyCount; ++i) {
            prallwerk::computeFloorHeight(this->bodies, i);
            prallwerk::RigidBody* body = this->bodies[i].get();
            if (body != skipA && body != skipB) body->advanceFree(dt);
        }
    }
};

