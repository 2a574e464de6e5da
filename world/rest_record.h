#pragma once

#include <vector>

#include "prallwerk/core/rigid_body.h"
#include "prallwerk/math/vec3.h"

namespace prallwerk {

// What tells a world at rest: how its bodies stood when the searches of the
// last step began, and whether that step left them so.
//
// A step is a function of the bodies as its searches find them (after the
// forces are applied) and of its span: the searches, the responses and free
// flight read nothing else, and every one of them rounds the same way each
// time. So when a step handled no impact and left every body bit for bit as
// its searches found it, apart from the floor heights it computed, and the
// next step finds the bodies bit for bit the same again with the same span,
// that next step would do exactly what the last one did: search, find
// nothing, and leave every body as it is, with the same floor heights. Such a
// step replays the last one instead (World::step): the searches answer what
// they answered and free flight is skipped (the floors it would find are
// those the step found at its start).
//
// Buffers are sized at construction; nothing is allocated afterwards.
class RestRecord {
public:
    explicit RestRecord(int bodyCount);

    // At the start of a step's searches: whether the bodies, the contact
    // vectors and the span are bit for bit those of the last step, and that
    // step left its bodies as it found them. If not, the bodies as they stand
    // now are remembered for the end of this step.
    bool begin(const BodyList& bodies, int count, const Vec3& normalA, const Vec3& normalB, float dt);

    // At the end of a step that handled no impact: whether it left every
    // body as begin found it, floor heights aside. Remembers the contact
    // vectors it left.
    void end(const BodyList& bodies, int count, const Vec3& normalA, const Vec3& normalB);

    // A step that handled an impact, or did not finish its searches: the
    // next step cannot replay it.
    void forget() { still_ = false; }

    // The span of the step that may be replayed.
    float span() const { return dt_; }

private:
    std::vector<RigidBody> searched_;  // the bodies as the searches of the last step found them
    int count_ = 0;
    Vec3 normalA_, normalB_;           // the contact vectors it left
    float dt_ = 0.0f;
    bool still_ = false;               // it handled no impact and left the bodies as it found them
};

}  // namespace prallwerk
