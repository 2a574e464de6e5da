#include "prallwerk/scenes/materials.h"

namespace prallwerk {

// The friction coefficients are for clean, dry surfaces on a hard floor,
// from the Engineering ToolBox's table "Friction and Friction Coefficients
// for some Common Materials", sliding values where it gives them:
//   Gummi   0.8   rubber on dry concrete, sliding (0.6 to 0.85; Serway and
//                 Beichner's Table 5.2 gives 0.8 too)
//   Alu     0.47  aluminium on mild steel, sliding
//   Blei    0.43  lead on cast iron
//   Platin  0.36  the table has platinum only on platinum (1.2, metal seizing
//                 on its own kind, no floor): copper on mild steel, sliding,
//                 the nearest soft heavy metal on a hard floor it lists
//   Kork    0.6   the table has no cork: leather on clean metal, the nearest
//                 soft organic material
//   Holz    0.62  wood on concrete
const Material materialTable[materialCount] = {
    {1.0, 1.0, 0.8, "Gummi"},    {2.7, 0.4, 0.47, "Alu"}, {11.4, 0.2, 0.43, "Blei"},
    {21.4, 0.1, 0.36, "Platin"}, {0.2, 0.7, 0.6, "Kork"}, {0.5, 0.6, 0.62, "Holz"},
};

}  // namespace prallwerk
