#include "app/logic/scene_files.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

#include "app/logic/app_state.h"
#include "app/logic/control_state.h"
#include "app/logic/stepping.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

std::optional<FileScene> fileScene;

namespace {

// Replaces every body of the program's world with bodies, under gravity.
// Only the last body goes in through appendBody, which fits the world's
// buffers to all of them at once: appending each would refit them per body,
// which for 10000 bodies takes seconds. The last impact named bodies that
// are gone and is forgotten.
void replaceBodies(GravityWorld& w, BodyList bodies, const Vec3& gravity) {
    w.hitA = nullptr;
    w.hitB = nullptr;
    w.gravity = gravity;
    if (bodies.empty()) {
        // Erasing the one body left fits the buffers to none.
        w.bodies.resize(1);
        w.bodies[0] = std::make_unique<RigidBody>(1.0f);
        w.eraseBody(0);
        return;
    }
    std::unique_ptr<RigidBody> last = std::move(bodies.back());
    bodies.pop_back();
    w.bodies = std::move(bodies);
    w.appendBody(*last);
}

// The scene's bodies as the file describes them, into the program's world,
// fresh and paused. A scene read from a file has passed every check that
// building it makes; should one still be refused, the world is unchanged
// and the reason returned.
std::optional<ValueError> buildFileScene(const SceneDescription& scene) {
    BuiltWorld built = buildWorld(scene);
    if (built.error) return built.error;
    // The file's rules before its bodies: choosing them takes the bodies'
    // orientations from their angles anew, and these hold theirs already.
    world->setRules(scene.rules);
    replaceBodies(*world, std::move(built.world->bodies), scene.gravity);
    sceneLoaded();
    return std::nullopt;
}

std::string fileNameOf(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

// Windows-1252's characters at 0x80..0x9F, by code; 0 where it has none.
constexpr char32_t windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr char unknownCharacter = '?';

// The Windows-1252 byte of a character, or unknownCharacter.
char windows1252Of(char32_t c) {
    if (c < 0x20 || c == 0x7F) return ' ';
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (windows1252High[i] == c) return static_cast<char>(0x80 + i);
    }
    return unknownCharacter;
}

// The character whose UTF-8 sequence starts at text[i], advancing i past
// it; a byte that starts no valid sequence is passed alone and gives
// U+FFFD (which Windows-1252 lacks).
char32_t nextCharacter(const std::string& text, std::size_t& i) {
    constexpr char32_t invalid = 0xFFFD;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t c = 0;
    char32_t smallest = 0;  // below it, the sequence is overlong
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
        ++i;
        return invalid;
    }
    if (i + static_cast<std::size_t>(length) > text.size()) {
        ++i;
        return invalid;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) {
            ++i;
            return invalid;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return invalid;
    }
    i += static_cast<std::size_t>(length);
    return c;
}

}  // namespace

void sceneLoaded() {
    dropSteppedFrame();
    simulationRunning = 0;
    sceneFresh = 1;
    simulatedTime = 0.0f;
}

std::string windows1252FromUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) out += windows1252Of(nextCharacter(text, i));
    return out;
}

SceneRead readSceneFileAt(const std::string& path) {
    SceneRead read;
    const auto refuse = [&](const std::string& rule) {
        read.error = SceneFileError{path, "", rule};
        return read;
    };
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    // A missing file is no error to status(), only a type.
    if (!error && status.type() == std::filesystem::file_type::not_found) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (error) return refuse("cannot be opened: " + error.message());
    if (std::filesystem::is_directory(status)) return refuse("is a folder, not a scene file");
    if (!std::filesystem::is_regular_file(status)) return refuse("is not a regular file");
    // Opened by its path as the system names files (UTF-16 on Windows), so
    // that every name the user can give is found; a narrow name would go
    // through the system's code page there, not UTF-8.
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return refuse(std::string("cannot be opened: ") + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    while (text.size() <= static_cast<std::size_t>(maxSceneFileBytes) && in.read(buffer, sizeof buffer).gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return refuse("cannot be read");
    if (text.size() > static_cast<std::size_t>(maxSceneFileBytes)) {
        return refuse("is larger than " + std::to_string(maxSceneFileBytes >> 20) + " MiB");
    }
    return parseScene(text, path);
}

std::optional<std::string> openSceneFile(const std::string& path) {
    SceneRead read = readSceneFileAt(path);
    if (read.error) return read.error->message();
    if (const std::optional<ValueError> refused = buildFileScene(read.scene)) {
        return SceneFileError{path, "", refused->message()}.message();
    }
    FileScene opened;
    opened.title = read.scene.name.empty() ? fileNameOf(path) : read.scene.name;
    opened.scene = std::move(read.scene);
    fileScene = std::move(opened);
    return std::nullopt;
}

void reloadFileScene() {
    if (fileScene) buildFileScene(fileScene->scene);
}

void leaveFileScene() {
    if (!fileScene) return;
    fileScene.reset();
    world->setRules(Rules::classic);
    GravityWorld prepared;
    replaceBodies(*world, std::move(prepared.bodies), defaultGravity);
}

std::string sceneChoiceLine() {
    std::string line = "Szene w\xE4hlen (F7/F8): ";
    if (fileScene) return line + windows1252FromUtf8(fileScene->title);
    return line + std::to_string(sceneIndex + 1) + " von " + std::to_string(sceneCount);
}

std::string moreBodiesLine(int bodyCount) {
    const int more = bodyCount - tableRowCount;
    if (more <= 0) return {};
    return "\x85 und " + std::to_string(more) + (more == 1 ? " weiterer K\xF6rper" : " weitere K\xF6rper");
}
