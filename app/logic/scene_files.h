#pragma once

#include <optional>
#include <string>

#include "prallwerk/scenes/scene_file.h"

// Scenes from files as the program's current scene: opened from the command
// line or dropped on the window, reloaded by R, left for the prepared scenes
// by F7 and F8. The program's one World takes a file scene's bodies and
// gravity in place (it is never replaced), and gets the seven bodies of the
// prepared scenes back when the file scene is left.

// A file's scene while it is the current one.
struct FileScene {
    prallwerk::SceneDescription scene;  // as read: R builds the bodies again from it
    std::string title;                  // the scene's name, or the file's name when it has none; UTF-8
};
extern std::optional<FileScene> fileScene;  // set while a file's scene is current

// After a scene's bodies are loaded into the World (a prepared scene's or a
// file's): paused, fresh, time 0, and a frame stepped by hand dropped.
void sceneLoaded();

// Reads the scene file at path (UTF-8, also on Windows) as readSceneFile
// does, but refuses anything that is not a regular file (a pipe or a device
// would never end) and opens the path by its wide name on Windows.
prallwerk::SceneRead readSceneFileAt(const std::string& path);

// Makes the scene of the file at path the current one: the World holds its
// bodies under its gravity, the simulation is paused at time 0 and the
// scene fresh, as R leaves a prepared scene. On failure (the file cannot be
// read or is refused) returns the reason as one line, "FILE: PLACE: RULE",
// and changes nothing.
std::optional<std::string> openSceneFile(const std::string& path);

// R with a file scene current: its bodies again as the file gave them (the
// file is not read again), paused, fresh, time 0.
void reloadFileScene();

// Leaves a file scene for the prepared scenes: the World holds the seven
// bodies it starts with, under the program's gravity, for loadScene to fill.
// Nothing when no file scene is current.
void leaveFileScene();

// The HUD's scene line in the font's Windows-1252: "Szene wählen (F7/F8):
// 2 von 4", or with a file scene current its title in place of the numbers.
std::string sceneChoiceLine();

// The HUD's line under the body table for a world of bodyCount bodies, in
// Windows-1252: how many bodies the table's tableRowCount rows leave out
// ("… und 93 weitere Körper", "… und 1 weiterer Körper"); empty when none.
constexpr int tableRowCount = 7;
std::string moreBodiesLine(int bodyCount);

// UTF-8 text in Windows-1252, the HUD font's code page: characters it has
// are kept, control characters become spaces, and anything else (characters
// it lacks, bytes that are no UTF-8) becomes "?".
std::string windows1252FromUtf8(const std::string& text);
