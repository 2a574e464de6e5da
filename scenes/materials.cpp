#include "prallwerk/scenes/materials.h"

namespace prallwerk {

const Material materialTable[materialCount] = {
    {1.0, 1.0, "Gummi"}, {2.7, 0.4, "Alu"}, {11.4, 0.2, "Blei"},
    {21.4, 0.1, "Platin"}, {0.2, 0.7, "Kork"}, {0.5, 0.6, "Holz"},
};

}  // namespace prallwerk
