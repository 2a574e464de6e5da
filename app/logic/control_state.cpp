#include "app/logic/control_state.h"

int sceneIndex = 0;
unsigned char simulationRunning = 0;
unsigned char sceneFresh = 0;
unsigned char wireframe = 0;
float timeScale = 1.0f;
float simulatedTime = 0.0f;
float cameraDistance = -50.0f;
