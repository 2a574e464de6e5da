#include "app/logic/app_state.h"

#include "prallwerk/world/world.h"

using namespace prallwerk;

int keyDown[keyCodeCount] = {};
Point2 mousePosition;
unsigned char leftButtonDown = 0;
unsigned char rightButtonDown = 0;
int running = 0;
int fullscreenRequest = 0;

GravityWorld* world = new GravityWorld();
