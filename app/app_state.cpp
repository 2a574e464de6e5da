#include "app/app_state.h"

#include "core/world.h"

int keyDown[keyCodeCount] = {};
Point2 mousePosition;
unsigned char leftButtonDown = 0;
unsigned char rightButtonDown = 0;
int running = 0;
int fullscreenRequest = 0;

// The world's gravity is the single-precision -9.81 widened to double
// (-9.8100004196167 m/s^2), not the double literal.
constexpr float gravityZ = -9.81f;

World* world = new GravityWorld(0.0, 0.0, static_cast<double>(gravityZ));
