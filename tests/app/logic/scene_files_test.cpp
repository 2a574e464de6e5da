// Scene files in the program, without a display: the command line, files
// dropped on the window, R, F7 and F8 with a file scene current, bad files
// keeping the scene there was, and the HUD's texts for file scenes.
#include "app/logic/scene_files.h"
#include "tests/app/logic/control_frames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/controls.h"
#include "app/logic/main_loop.h"
#include "app/logic/program_answers.h"
#include "app/logic/program_arguments.h"
#include "app/logic/stepping.h"
#include "tests/app/fake_platform.h"
#include "prallwerk/scenes/scenes.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Kind = PlatformEvent::Kind;

namespace {

TEST(ProgramArguments, OneFileOrNothingAndEverythingElseRefusedWithTheUsage) {
    const struct {
        std::vector<std::string> arguments;
        const char* file;
        const char* error;  // the first line of it; empty: none
    } rows[] = {
        {{}, "", ""},
        {{"scenes/files/dominoes.json"}, "scenes/files/dominoes.json", ""},
        {{"--", "-odd name.json"}, "-odd name.json", ""},
        {{"a.json", "b.json"}, "", "One Scene File At A Time: a.json and b.json"},
        {{"--fullscreen"}, "", "Unknown Option: --fullscreen"},
        {{"a.json", "-x"}, "", "Unknown Option: -x"},
        {{"-"}, "", "Unknown Option: -"},
        {{""}, "", "An Empty Scene File Name"},
        {{"--", "a.json", "--"}, "", "One Scene File At A Time: a.json and --"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.arguments));
        const ProgramArguments parsed = parseProgramArguments(row.arguments);
        EXPECT_EQ(parsed.sceneFile, row.file);
        if (*row.error == '\0') {
            EXPECT_EQ(parsed.error, "");
        } else {
            EXPECT_EQ(parsed.error, std::string(row.error) + "\nUsage: prallwerk [SCENE-FILE]");
        }
    }
}

TEST(Windows1252FromUtf8, KeepsWhatTheFontHasAndMarksTheRest) {
    const struct {
        const char* utf8;
        const char* expected;
    } rows[] = {
        {"Kugel auf W\xC3\xBC" "rfel", "Kugel auf W\xFCrfel"},
        {"\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F \xC2\xA0\xC3\xBF", "\xC4\xD6\xDC\xDF \xA0\xFF"},
        {"\xE2\x82\xAC \xE2\x80\x93 \xE2\x80\xA6 \xC5\xB8", "\x80 \x96 \x85 \x9F"},  // the 0x80..0x9F row
        {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB1", "?? ?"},                      // not in the code page
        {"a\tb\nc\x7F", "a b c "},                                                    // control characters
        {"\xC3", "?"},                                                                // cut short
        {"\xC3" "x", "?x"},                                                           // cut short by a letter
        {"\xC0\xAF", "??"},                                                           // overlong
        {"\xE0\xA0\x80 \xF0\x90\x80\x80", "? ?"},                                     // the first of three and four bytes
        {"\xED\xA0\x80", "???"},                                                      // a surrogate
        {"\xF4\x90\x80\x80", "????"},                                                 // past U+10FFFF
        {"\xFF" "x", "?x"},
    };
    for (const auto& row : rows) EXPECT_EQ(windows1252FromUtf8(row.utf8), row.expected) << row.utf8;
}

TEST(MoreBodiesLine, CountsTheBodiesBeyondTheTableInGerman) {
    EXPECT_EQ(moreBodiesLine(0), "");
    EXPECT_EQ(moreBodiesLine(7), "");
    EXPECT_EQ(moreBodiesLine(8), "\x85 und 1 weiterer K\xF6rper");
    EXPECT_EQ(moreBodiesLine(100), "\x85 und 93 weitere K\xF6rper");
    EXPECT_EQ(moreBodiesLine(10000), "\x85 und 9993 weitere K\xF6rper");
}

// A scene of count bodies: spheres and boxes in turn on a row, high enough
// to fall for a while; the first one thrown sideways.
SceneDescription rowScene(int count, const std::string& name, const Vec3& gravity) {
    SceneDescription scene;
    scene.name = name;
    scene.gravity = gravity;
    for (int i = 0; i < count; ++i) {
        BodyDef def;
        def.kind = i % 2 == 0 ? kindSphere : kindBox;
        def.radius = 0.5f;
        def.length = 1.0f;
        def.width = 0.5f;
        def.height = 2.0f;
        def.mass = 1.0f + static_cast<float>(i);
        def.position = {3.0 * i - 10.0, 1.0, 8.0 + i};
        def.velocity = {i == 0 ? 2.0 : 0.0, 0.0, 0.0};
        def.spin = {0.0, 0.5, 0.0};
        scene.bodies.push_back(def);
    }
    return scene;
}

bool sameBody(const RigidBody& a, const RigidBody& b) {
    return a.kind == b.kind && a.mass == b.mass && a.radius == b.radius && a.position.x == b.position.x &&
           a.position.y == b.position.y && a.position.z == b.position.z && a.velocity.x == b.velocity.x &&
           a.velocity.z == b.velocity.z && a.spin.y == b.spin.y && a.box.length == b.box.length &&
           a.box.height == b.box.height;
}

// The world holds exactly the bodies that buildWorld makes of scene.
void expectBodiesOf(const SceneDescription& scene) {
    const BuiltWorld built = buildWorld(scene);
    ASSERT_TRUE(built.world);
    ASSERT_EQ(world->bodyCount, built.world->bodyCount);
    ASSERT_EQ(world->bodies.size(), built.world->bodies.size());
    for (int i = 0; i < world->bodyCount; ++i) EXPECT_TRUE(sameBody(*world->bodies[i], *built.world->bodies[i])) << i;
    EXPECT_EQ(world->gravity.z, scene.gravity.z);
}

// The world holds the bodies of prepared scene n under the program's gravity.
void expectPreparedScene(int n) {
    GravityWorld prepared;
    loadScene(prepared, n);
    ASSERT_EQ(world->bodyCount, sceneBodyCount);
    for (int i = 0; i < sceneBodyCount; ++i) EXPECT_TRUE(sameBody(*world->bodies[i], *prepared.bodies[i])) << i;
    EXPECT_EQ(world->gravity.z, defaultGravity.z);
}

const FrameHooks noHooks = {
    [](AppWindow&, int*) { return true; },
    [](uint32_t) {},
    [] {},
    [] {},
};

class SceneFiles : public ::testing::Test {
protected:
    void SetUp() override {
        buildSceneTable();
        savedWorld = world;
        world = &programWorld;
        arcBall = ArcBall(1024.0f, 768.0f);
        application.platform = &platform;
        window.application = &application;
        window.keys = keyDown;
        controlWindow = &window;
        controlKeys = keys;
        resetControlState();
        std::fill(std::begin(keyDown), std::end(keyDown), 0);

        folder = std::filesystem::temp_directory_path() /
                 ("prallwerk-scene-files-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        fileScene.reset();
        world = savedWorld;
        controlWindow = nullptr;
        controlKeys = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string writeFile(const std::string& name, const std::string& text) const {
        const std::filesystem::path path = folder / std::filesystem::u8path(name);
        std::ofstream(path, std::ios::binary) << text;
        return path.u8string();
    }

    void frame(std::initializer_list<int> held, uint32_t elapsedMs = 16) { frameHolding(keys, held, elapsedMs); }
    void tap(int key, uint32_t elapsedMs = 16) { tapKey(keys, key, elapsedMs); }

    static PlatformEvent drop(std::vector<std::string> files) {
        PlatformEvent e;
        e.kind = Kind::filesDropped;
        e.files = std::move(files);
        return e;
    }

    std::vector<std::string> warnings() const {
        std::vector<std::string> found;
        for (const std::string& entry : platform.log) {
            if (entry.rfind("warning:", 0) == 0) found.push_back(entry);
        }
        return found;
    }

    GravityWorld programWorld;
    GravityWorld* savedWorld = nullptr;
    FakePlatform platform;
    Application application;
    AppWindow window;
    int keys[keyCodeCount] = {};
    std::filesystem::path folder;
};

// The program started with a file: the question as always, then the file's
// scene current before the first window, paused and fresh at time 0.
TEST_F(SceneFiles, AFileArgumentMakesItsSceneCurrentAfterTheQuestion) {
    const SceneDescription scene = rowScene(12, "Zw\xC3\xB6lf K\xC3\xB6rper", {0.0, 0.0, -1.625});
    const std::string path = writeFile("zw\xC3\xB6lf.json", writeScene(scene));
    platform.afterFrame = [](FakePlatform& p) {
        if (p.frames == 2) p.push(Kind::close);
    };
    EXPECT_EQ(runProgram(platform, noHooks, {path}), 0);

    EXPECT_EQ(platform.log.at(0), "question:Start FullScreen?|Would You Like To Run In Fullscreen Mode?");
    EXPECT_EQ(warnings(), std::vector<std::string>{});
    ASSERT_TRUE(fileScene);
    EXPECT_EQ(fileScene->title, "Zw\xC3\xB6lf K\xC3\xB6rper");
    expectBodiesOf(scene);
    EXPECT_EQ(simulationRunning, 0);
    EXPECT_EQ(sceneFresh, 1);
    EXPECT_EQ(simulatedTime, 0.0f);
    EXPECT_EQ(sceneChoiceLine(), "Szene w\xE4hlen (F7/F8): Zw\xF6lf K\xF6rper");
}

// A command line the program cannot follow is said before anything else,
// and the program ends with status 2 without asking or opening a window.
TEST_F(SceneFiles, BadArgumentsAreSaidFirstAndEndTheProgramWithStatusTwo) {
    EXPECT_EQ(runProgram(platform, noHooks, {"a.json", "b.json"}), badArgumentsExitCode);
    EXPECT_THAT(platform.log, ElementsAre("warning:Error|One Scene File At A Time: a.json and b.json\n"
                                          "Usage: prallwerk [SCENE-FILE]"));
    EXPECT_FALSE(fileScene);
    expectPreparedScene(0);  // the constructor's bodies are scene 1's
}

// A file that cannot be opened: the message box, then the program as it
// always starts.
TEST_F(SceneFiles, AFileArgumentThatCannotBeOpenedIsSaidAndTheProgramRunsOn) {
    const std::string path = (folder / "missing.json").u8string();
    platform.afterFrame = [](FakePlatform& p) {
        if (p.frames == 1) p.push(Kind::close);
    };
    EXPECT_EQ(runProgram(platform, noHooks, {path}), 0);
    EXPECT_THAT(warnings(), ElementsAre("warning:Error|Cannot Load Scene File.\n" + path +
                                        ": cannot be opened: No such file or directory"));
    EXPECT_EQ(platform.frames, 1);
    EXPECT_FALSE(fileScene);
    expectPreparedScene(0);
    EXPECT_EQ(sceneFresh, 0);
}

// A file dropped on the window is read at once; R brings its bodies back as
// the file gave them, without reading the file again; Space runs it.
TEST_F(SceneFiles, ADroppedFileIsTheCurrentSceneAndRReloadsItAsRead) {
    const SceneDescription scene = rowScene(9, "", {0.0, 0.0, -3.5});
    const std::string path = writeFile("neun.json", writeScene(scene));
    tap(vkF8);
    tap(vkSpace);
    frame({}, 200);
    platform.ticks = 5000;  // the time the drop took is no simulated time
    windowProcedure(window, drop({path}));
    EXPECT_EQ(window.lastTick, 5000u);
    EXPECT_EQ(warnings(), std::vector<std::string>{});
    ASSERT_TRUE(fileScene);
    EXPECT_EQ(fileScene->title, "neun.json");  // the scene has no name
    expectBodiesOf(scene);
    EXPECT_EQ(ProgramAnswers().currentSceneText(), writeScene(scene)) << "what the page saves and shares";
    EXPECT_EQ(simulationRunning, 0);
    EXPECT_EQ(sceneFresh, 1);

    tap(vkSpace);
    for (int i = 0; i < 30; ++i) frame({}, 40);
    EXPECT_NEAR(simulatedTime, 0.032f + 1.2f, 1e-5f);  // the tap's two frames, then 30
    EXPECT_LT(world->bodies[0]->position.z, 8.0 - 1.0);  // fallen under the file's gravity
    EXPECT_GT(world->bodies[0]->position.x, -10.0);

    writeFile("neun.json", writeScene(rowScene(3, "", defaultGravity)));  // the file changes on disk
    tap(vkR);
    expectBodiesOf(scene);
    EXPECT_EQ(ProgramAnswers().currentSceneText(), writeScene(scene)) << "the file as it was read";
    EXPECT_EQ(simulationRunning, 0);
    EXPECT_EQ(sceneFresh, 1);
    EXPECT_EQ(simulatedTime, 0.0f);
    EXPECT_EQ(sceneIndex, 1);  // the prepared scene of before is remembered
}

// F7 goes back to the prepared scene that was current before the file, F8
// on to the one after it; either way the seven bodies come back under the
// program's gravity, and R then reloads the prepared scene.
TEST_F(SceneFiles, F7AndF8LeaveTheFileSceneForThePreparedScenesAroundIt) {
    const SceneDescription scene = rowScene(20, "Zwanzig", {0.0, 0.0, -20.0});
    const std::string path = writeFile("zwanzig.json", writeScene(scene));
    for (const int key : {vkF7, vkF8}) {
        SCOPED_TRACE(key == vkF7 ? "F7" : "F8");
        sceneIndex = 3;
        ASSERT_EQ(openSceneFile(path), std::nullopt);
        tap(vkSpace);
        frame({}, 100);
        tap(key);
        EXPECT_FALSE(fileScene);
        const int expected = key == vkF7 ? 3 : 0;
        EXPECT_EQ(sceneIndex, expected);
        expectPreparedScene(expected);
        EXPECT_EQ(sceneFresh, 1);
        EXPECT_EQ(sceneChoiceLine(), "Szene w\xE4hlen (F7/F8): " + std::to_string(expected + 1) + " von 4");
        tap(vkSpace);
        frame({}, 100);
        tap(vkR);
        expectPreparedScene(expected);
    }
}

// Whatever is wrong with a file, the user is told why and the scene there
// was stays as it was: a prepared scene, or another file's scene.
TEST_F(SceneFiles, ABadFileIsSaidAndTheSceneThereWasStays) {
    const std::string good = writeFile("gut.json", writeScene(rowScene(8, "Gut", {0.0, 0.0, -2.0})));
    const std::string badValue = writeFile("schlecht.json", writeScene(rowScene(8, "", defaultGravity)));
    {
        std::string text = writeScene(rowScene(8, "", defaultGravity));
        text.replace(text.find("\"radius\": 0.5"), 13, "\"radius\": -1");
        writeFile("schlecht.json", text);
    }
    const std::string notJson = writeFile("kein.json", "{\"format\": \"prallwerk-scene\",");
    const std::string folderPath = (folder / "ordner.json").u8string();
    std::filesystem::create_directory(folderPath);
    const std::string pipe = (folder / "pipe.json").u8string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Files of zeros, made without writing them: the largest a scene file
    // may be is read (and is no JSON), a byte more is refused unread.
    const std::string largest = writeFile("gross.json", "");
    std::filesystem::resize_file(largest, maxSceneFileBytes);
    const std::string tooLarge = writeFile("zu-gross.json", "");
    std::filesystem::resize_file(tooLarge, maxSceneFileBytes + 1);
    const SceneRead readLargest = readSceneFileAt(largest);
    ASSERT_TRUE(readLargest.error);
    EXPECT_THAT(readLargest.error->message(), Not(HasSubstr("larger")));

    const struct {
        std::vector<std::string> files;
        std::string warning;
    } rows[] = {
        {{badValue}, "Cannot Load Scene File.\n" + badValue + ": /bodies/0/radius: "},
        {{notJson}, "Cannot Load Scene File.\n" + notJson + ": "},
        {{folderPath}, "Cannot Load Scene File.\n" + folderPath + ": is a folder, not a scene file"},
        {{pipe}, "Cannot Load Scene File.\n" + pipe + ": is not a regular file"},  // reading it would never end
        {{tooLarge}, "Cannot Load Scene File.\n" + tooLarge + ": is larger than 64 MiB"},
        {{good, good}, "One Scene File At A Time: 2 files were dropped."},
    };
    for (const bool fromFile : {false, true}) {
        if (fromFile) {
            windowProcedure(window, drop({good}));
            ASSERT_TRUE(fileScene);
        }
        tap(vkSpace);
        frame({}, 300);
        std::vector<Vec3> before;
        for (const auto& body : world->bodies) before.push_back(body->position);
        const float timeBefore = simulatedTime;
        for (const auto& row : rows) {
            SCOPED_TRACE(row.warning);
            platform.log.clear();
            windowProcedure(window, drop(row.files));
            ASSERT_EQ(warnings().size(), 1u);
            EXPECT_THAT(warnings()[0], HasSubstr("warning:Error|" + row.warning));
            EXPECT_EQ(fileScene.has_value(), fromFile);
            ASSERT_EQ(world->bodies.size(), before.size());
            for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(world->bodies[i]->position.z, before[i].z);
            EXPECT_EQ(simulationRunning, 1);  // it runs on as it ran
            EXPECT_EQ(simulatedTime, timeBefore);
        }
        if (fromFile) {
            EXPECT_EQ(fileScene->title, "Gut");
        }
    }
}

// A scene of more bodies than the table has rows, up to the most a file may
// hold, in the program's one world; the HUD counts the others. Leaving it
// gives the world its seven bodies back.
TEST_F(SceneFiles, ManyBodiesGoIntoTheOneWorldAndComeOutAgain) {
    World* const theWorld = world;
    const SceneDescription scene = rowScene(maxSceneFileBodies, "Viele", defaultGravity);
    ASSERT_EQ(openSceneFile(writeFile("viele.json", writeScene(scene))), std::nullopt);
    EXPECT_EQ(world, theWorld);
    expectBodiesOf(scene);
    EXPECT_EQ(moreBodiesLine(world->bodyCount), "\x85 und 9993 weitere K\xF6rper");
    tap(vkSpace);
    frame({}, 16);  // the searches' buffers fit all of them
    EXPECT_LT(world->bodies[maxSceneFileBodies - 1]->position.z, 8.0 + maxSceneFileBodies - 1);

    const SceneDescription none = rowScene(0, "Leer", defaultGravity);
    ASSERT_EQ(openSceneFile(writeFile("leer.json", writeScene(none))), std::nullopt);
    EXPECT_EQ(world->bodyCount, 0);
    EXPECT_TRUE(world->bodies.empty());
    tap(vkSpace);
    frame({}, 16);
    EXPECT_EQ(moreBodiesLine(world->bodyCount), "");

    tap(vkF7);
    EXPECT_EQ(world, theWorld);
    expectPreparedScene(0);
}

}  // namespace
