#include "prallwerk/world/impact_walker.h"

#include "prallwerk/world/world.h"

namespace prallwerk {

void ImpactWalker::beginFrame(const FrameSteps& steps) {
    steps_ = steps;
    nextStep_ = 0;
    step_ = StepInProgress{};
    inFrame_ = true;
}

bool ImpactWalker::toNextImpact() {
    while (inFrame_) {
        if (step_.over()) {
            if (nextStep_ == steps_.count) {
                inFrame_ = false;
                break;
            }
            stepStart_ = clock_;
            step_ = world_->beginStep(steps_.sub);
            ++nextStep_;
        }
        const bool impact = world_->resolveNextImpact(step_);
        if (impact) {
            clock_ = stepStart_ + step_.time;
            last_.a = world_->indexOf(world_->hitA);
            last_.b = world_->indexOf(world_->hitB);
            last_.subStep = nextStep_ - 1;
            last_.span = step_.lastSpan;
            last_.time = clock_;
            return true;
        }
        clock_ = stepStart_ + static_cast<double>(steps_.sub);
    }
    return false;
}

}  // namespace prallwerk
