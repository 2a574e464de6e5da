// prallwerk-snapshot as a user runs it: the pictures it writes, read back
// with libpng, and its answers to bad command lines. The build names the
// tool in PRALLWERK_SNAPSHOT.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // rows from the top

    unsigned long at(int x, int y) const {  // 0xRRGGBB, y from the top
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return static_cast<unsigned long>(rgb[i]) << 16 | static_cast<unsigned long>(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};

bool readPng(const std::string& path, Picture& picture, bool& isRgb8) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    isRgb8 = image.format == PNG_FORMAT_RGB;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

bool isGrey(unsigned long p, int level) {
    const int r = static_cast<int>(p >> 16), g = static_cast<int>(p >> 8 & 0xFF), b = static_cast<int>(p & 0xFF);
    return r == g && g == b && std::abs(r - level) <= 2;
}

// Pixels of the HUD and the scene, by colour and band: the top panel ends at
// a tenth of the height, the lower panel begins at 84 % of it.
struct Census {
    long panel = 0;          // translucent grey over black, in the two panels
    long text = 0;           // white letters
    long rows[7] = {};       // body-table letters in each body's colour
    long grid = 0;           // grey grid lines between the panels
    long scene = 0;          // lit bodies and lines between the panels
};

const unsigned long bodyPixels[7] = {0xFFFF00, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFF8000};

Census censusOf(const Picture& p) {
    Census c;
    const int topEnd = p.height / 10, bottomStart = p.height * 84 / 100;
    for (int y = 0; y < p.height; ++y) {
        const bool hud = y < topEnd || y >= bottomStart;
        for (int x = 0; x < p.width; ++x) {
            const unsigned long v = p.at(x, y);
            if (hud) {
                c.panel += isGrey(v, 64);
                c.text += v == 0xFFFFFF;
                for (int j = 0; j < 7 && y >= bottomStart; ++j) c.rows[j] += v == bodyPixels[j];
            } else {
                c.grid += isGrey(v, 128);
                c.scene += v != 0 && !isGrey(v, static_cast<int>(v & 0xFF));
            }
        }
    }
    return c;
}

class Snapshot : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/prallwerk_snapshot_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    // Runs the tool with arguments (and an environment prefix); returns its
    // exit status and keeps what it wrote to stderr.
    int run(const std::string& arguments, const std::string& environment = "") {
        const std::string command =
            environment + " '" + program + "' " + arguments + " >'" + dir + "/stdout' 2>'" + dir + "/stderr'";
        const int status = std::system(command.c_str());
        std::ifstream err(dir + "/stderr");
        std::stringstream text;
        text << err.rdbuf();
        errors = text.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    Picture take(const std::string& arguments, const std::string& environment = "") {
        const std::string file = dir + "/frame.png";
        std::remove(file.c_str());
        EXPECT_EQ(run(arguments + " --out '" + file + "'", environment), 0) << errors;
        EXPECT_EQ(errors, "");
        Picture picture;
        bool rgb8 = false;
        EXPECT_TRUE(readPng(file, picture, rgb8)) << file;
        EXPECT_TRUE(rgb8);
        return picture;
    }

    bool exists(const std::string& name) const { return access((dir + "/" + name).c_str(), F_OK) == 0; }

    const std::string program = PRALLWERK_SNAPSHOT;
    std::string dir;
    std::string errors;
};

TEST_F(Snapshot, DrawsTheSceneAndTheWholeHudAtTheChosenSize) {
    const Picture picture = take("--scene 2 --time 1.5 --width 640 --height 480");
    EXPECT_EQ(picture.width, 640);
    EXPECT_EQ(picture.height, 480);
    const Census c = censusOf(picture);
    EXPECT_GT(c.panel, 20000);
    EXPECT_GT(c.text, 800);
    for (int j = 0; j < 7; ++j) EXPECT_GT(c.rows[j], 150) << "row " << j;
    EXPECT_GT(c.grid, 10000);
    EXPECT_GT(c.scene, 1000);
    // The window is as wide as asked: the top panel reaches both edges.
    for (const int x : {0, picture.width - 1}) EXPECT_TRUE(isGrey(picture.at(x, 2), 64)) << "column " << x;
}

TEST_F(Snapshot, SameMomentSamePictureAndWireframeChangesOnlyTheBodies) {
    const std::string moment = "--scene 2 --time 1.5";
    const Picture filled = take(moment);
    EXPECT_EQ(filled.width, 1024);
    EXPECT_EQ(filled.height, 768);
    EXPECT_EQ(take(moment).rgb, filled.rgb);

    const Picture lines = take(moment + " --wireframe");
    const Census f = censusOf(filled), l = censusOf(lines);
    EXPECT_LT(l.scene, f.scene / 2);  // outlines instead of faces
    EXPECT_GT(l.panel, f.panel * 9 / 10);  // still filled; a little more of it shows over black
    for (int j = 0; j < 7; ++j) EXPECT_EQ(l.rows[j], f.rows[j]) << "row " << j;

    const Picture later = take("--scene 2 --time 2");
    EXPECT_NE(later.rgb, filled.rgb);
}

TEST_F(Snapshot, WithoutAnyFontThePanelsStandWithoutLetters) {
    std::ofstream(dir + "/fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const Picture picture = take("--scene 0 --time 0.25 --width 320 --height 240",
                                 "FONTCONFIG_FILE='" + dir + "/fonts.conf'");
    const Census c = censusOf(picture);
    EXPECT_EQ(c.text, 0);
    EXPECT_GT(c.panel, 4000);
    EXPECT_GT(c.scene, 100);
}

TEST_F(Snapshot, BadArgumentsGiveOneLineAndStatus2AndNoFile) {
    const std::string out = " --out '" + dir + "/bad.png'";
    const std::vector<std::string> commandLines = {
        "--scene 4 --time 1" + out,    "--scene -2 --time 1" + out,    "--scene x --time 1" + out,
        "--scene 1 --time -0.5" + out, "--scene 1 --time 601" + out,   "--scene 1 --time nan" + out,
        "--scene 1 --time 1s" + out,   "--scene 1 --time 1 --width 1" + out,
        "--scene 1 --time 1 --height 5000" + out, "--scene 1 --time 1" + out + " --width",
        "--scene 1" + out,             "--time 1" + out,               "--scene 1 --time 1",
        "--scene 1 --time 1 --out ''", "--scene 1 --time 1 --bogus" + out,
    };
    for (const std::string& arguments : commandLines) {
        EXPECT_EQ(run(arguments), 2) << arguments;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << arguments << ": " << errors;
        EXPECT_EQ(errors.rfind("prallwerk-snapshot: ", 0), 0u) << errors;
        EXPECT_FALSE(exists("bad.png")) << arguments;
    }
}

// A scene file's bodies drawn as the program draws its own, its title on the
// HUD's scene line: scene 0's file gives scene 0's bodies and table, and a
// copy under another name differs only in that line, at the top; a bad file
// is refused by file, place and rule.
TEST_F(Snapshot, SceneFiles) {
    const std::string files = std::string(PRALLWERK_SOURCE_DIR) + "/scenes/files/";
    const std::string size = " --time 1.2 --width 320 --height 240";
    const Picture fromFile = take("--scene-file '" + files + "scene0.json'" + size);
    const Picture prepared = take("--scene 0" + size);
    std::ifstream original(files + "scene0.json");
    std::string text((std::istreambuf_iterator<char>(original)), std::istreambuf_iterator<char>());
    const std::string name = "\"Scene 1 of 4\"";
    ASSERT_NE(text.find(name), std::string::npos);
    text.replace(text.find(name), name.size(), "\"Ganz anders\"");
    std::ofstream(dir + "/renamed.json") << text;
    const Picture renamed = take("--scene-file '" + dir + "/renamed.json'" + size);

    const auto rows = [](const Picture& p, int first, int last) {
        const std::size_t row = static_cast<std::size_t>(p.width) * 3;
        return std::vector<unsigned char>(p.rgb.begin() + first * row, p.rgb.begin() + last * row);
    };
    // The lower half: bodies, ground and the body table.
    EXPECT_EQ(rows(fromFile, 120, 240), rows(prepared, 120, 240));
    EXPECT_EQ(rows(fromFile, 120, 240), rows(renamed, 120, 240));
    // The top panel, with the scene line: "1 von 4", or the file's title.
    EXPECT_NE(rows(fromFile, 0, 120), rows(prepared, 0, 120));
    EXPECT_NE(rows(fromFile, 0, 120), rows(renamed, 0, 120));
    const Picture tower = take("--scene-file '" + files + "tower_of_boxes.json' --time 0 --width 320 --height 240");
    EXPECT_NE(tower.rgb, take("--scene 0 --time 0 --width 320 --height 240").rgb);

    std::ofstream(dir + "/bad.json") << R"({"format": "prallwerk-scene", "version": 1, "bodies": [{"kind": "box"}]})";
    const std::string out = " --time 1 --out '" + dir + "/bad.png'";
    for (const std::string& arguments :
         {"--scene-file '" + dir + "/bad.json'" + out, "--scene-file '" + dir + "/none.json'" + out,
          "--scene 0 --scene-file '" + files + "scene0.json'" + out}) {
        EXPECT_EQ(run(arguments), 2) << arguments;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << arguments << ": " << errors;
        EXPECT_FALSE(exists("bad.png")) << arguments;
    }
    EXPECT_EQ(run("--scene-file '" + dir + "/bad.json'" + out), 2);
    EXPECT_EQ(errors, "prallwerk-snapshot: " + dir + "/bad.json: /bodies/0: missing field \"size\" (a box needs one)\n");
}

TEST_F(Snapshot, HelpAndAnUnwritableFile) {
    EXPECT_EQ(run("--help"), 0);
    std::ifstream out(dir + "/stdout");
    std::string first;
    std::getline(out, first);
    EXPECT_EQ(first.rfind("Usage: prallwerk-snapshot", 0), 0u) << first;

    EXPECT_EQ(run("--scene 1 --time 0 --width 64 --height 48 --out '" + dir + "/missing/frame.png'"), 1);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
