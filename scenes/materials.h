#pragma once

namespace prallwerk {

// One material the launch controls can choose for a body.
struct Material {
    double density;      // g/cm^3; times 1000 and a volume in m^3 gives kg
    double restitution;  // bounce factor
    double friction;     // Coulomb coefficient on a hard floor (the physical rules)
    char name[8];        // NUL-padded
};

constexpr int materialCount = 6;

// Gummi, Alu, Blei, Platin, Kork, Holz, in this order.
extern const Material materialTable[materialCount];

}  // namespace prallwerk
