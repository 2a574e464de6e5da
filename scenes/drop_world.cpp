#include "prallwerk/scenes/drop_world.h"

namespace prallwerk {

FallingWorld::FallingWorld(int n, double gz) : World(n, defaultBodyMass), gravityZ(gz) {}

void FallingWorld::applyForces() {
    for (int i = 0; i < bodyCount; ++i) {
        RigidBody& b = *bodies[i];
        b.force.add(0.0, 0.0, static_cast<double>(b.mass) * gravityZ);
    }
}

DropWorld::DropWorld(int n) : FallingWorld(n) {
    int columns = 1;
    while (columns * columns < n) ++columns;
    for (int i = 0; i < n; ++i) {
        RigidBody& b = *bodies[i];
        const int row = i / columns, column = i % columns;
        b.position = {3.0 * column - 1.5 * columns, 3.0 * row - 1.5 * columns, 4.0 + (i % 3)};
        b.spin = {0.5 * (i % 5), -0.3 * (i % 7), 0.2};
        b.restitution = 1.0f;
        if (i % 2 == 0) {
            b.kind = kindSphere;
            b.radius = 1.0f;
        } else {
            b.kind = kindBox;
            b.box.width = b.box.length = b.box.height = 2.0f;
            b.box.resetCorners();
        }
    }
}

}  // namespace prallwerk
