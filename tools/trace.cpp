#include "tools/trace.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <stdexcept>
#include <utility>
#include <vector>

#include "prallwerk/world/frame_runner.h"
#include "tools/arguments.h"
#include "prallwerk/math/number_text.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/drop_world.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

const char* const traceStateHeader = "frame,body,kind,px,py,pz,vx,vy,vz,wx,wy,wz,ax,ay,az";
const char* const traceEventHeader = "frame,substep,time,kind,a,b,t";

namespace {

// One CSV line. Doubles are written as %.17g would write them, by the one
// formatter whose digits are the same on every platform (number_text.h).
class CsvLine {
public:
    void text(const char* s) {
        separate();
        line_ += s;
    }
    void integer(long v) {
        char digits[24];
        separate();
        line_.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
    }
    void number(double v) {
        separate();
        appendSignificant17(line_, v);
    }
    void write(std::FILE* out) {
        line_ += '\n';
        std::fwrite(line_.data(), 1, line_.size(), out);
    }

private:
    void separate() {
        if (!line_.empty()) line_ += ',';
    }

    std::string line_;
};

// A world that reports every resolved impact: its listener writes one line
// per impact, in the order the step tells them. step counts the sub-steps of
// a frame from 0. (The world's step statistics count the impacts; a line
// needs each one's bodies and time, in order.) Base is the world run: the
// program's GravityWorld or a DropWorld.
template <class Base>
class EventWorld : public Base {
public:
    template <class... Arguments>
    explicit EventWorld(std::FILE* out, Arguments... arguments) : Base(arguments...), out_(out) {
        if (out_ != nullptr) this->impactListener = [this](const ImpactRecord& r) { writeImpact(r); };
    }

    long frame = 0;
    int subStep = 0;
    bool quiet = false;  // the impacts go untold

    void step(float dt) override {
        Base::step(dt);
        ++subStep;
    }

private:
    void writeImpact(const ImpactRecord& r) {
        if (quiet) return;
        CsvLine line;
        line.integer(frame);
        line.integer(subStep);
        line.number(r.time);
        line.text(r.kind == ImpactKind::pair ? "pair" : "ground");
        line.integer(r.a.index);
        line.integer(r.b.index);
        line.number(static_cast<double>(r.span));
        line.write(out_);
    }

    std::FILE* out_;
};

void writeStates(const World& world, long frame, std::FILE* out) {
    for (int i = 0; i < world.bodyCount; ++i) {
        const RigidBody& b = *world.bodies[i];
        CsvLine line;
        line.integer(frame);
        line.integer(i);
        line.integer(b.kind);
        for (const Vec3* v : {&b.position, &b.velocity, &b.spin, &b.angles}) {
            line.number(v->x);
            line.number(v->y);
            line.number(v->z);
        }
        line.write(out);
    }
}

bool readBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    const bool read = !std::ferror(f);
    std::fclose(f);
    return read;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

template <class Base>
bool runFrames(const TraceOptions& options, EventWorld<Base>& world, std::FILE* out, std::string* error) {
    auto fail = [error](std::string why) {
        if (error != nullptr) *error = std::move(why);
        return false;
    };
    const long from = options.fromFrame;
    if (!options.restoreState.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!readBytes(options.restoreState, bytes)) return fail(options.restoreState + ": cannot be read");
        try {
            world.restoreState(bytes);
        } catch (const std::invalid_argument& refused) {
            return fail(options.restoreState + ": " + refused.what());
        }
    }
    auto save = [&] {
        return options.saveState.empty() || writeBytes(options.saveState, world.saveState()) ||
               fail(options.saveState + ": cannot be written");
    };
    if ((from == 0 || !options.restoreState.empty()) && !save()) return false;
    std::fprintf(out, "%s\n", options.events ? traceEventHeader : traceStateHeader);
    const bool restored = !options.restoreState.empty();
    if (!options.events && (from == 0 || restored)) writeStates(world, from, out);
    const long first = restored ? from + 1 : 1;
    for (long frame = first; frame <= options.frames; ++frame) {
        const FrameSteps steps = frameSteps(options.frameMs, options.timeScale);
        world.frame = frame;
        world.subStep = 0;
        world.quiet = frame <= from;
        advanceFrame(world, steps);
        if (frame == from && !save()) return false;
        if (!options.events && frame >= from) writeStates(world, frame, out);
    }
    return true;
}

}  // namespace

bool writeTrace(const TraceOptions& options, std::FILE* out, std::string* error) {
    std::FILE* events = options.events ? out : nullptr;
    if (options.drop > 0) {
        EventWorld<DropWorld> world(events, options.drop);
        return runFrames(options, world, out, error);
    }
    if (options.sceneFile) {
        // The bodies exactly as buildWorld makes them, in a world that
        // reports its impacts.
        const BuiltWorld built = buildWorld(*options.sceneFile);
        if (!built.world) return false;
        EventWorld<GravityWorld> world(events, built.world->gravity, built.world->bodyCount);
        // The file's rules first: choosing them would take each body's
        // orientation from its angles anew.
        world.setRules(built.world->rules());
        for (int i = 0; i < world.bodyCount; ++i) *world.bodies[i] = *built.world->bodies[i];
        return runFrames(options, world, out, error);
    }
    EventWorld<GravityWorld> world(events);
    if (options.scene >= 0) {
        buildSceneTable();
        loadScene(world, options.scene);
    }
    return runFrames(options, world, out, error);
}

namespace {

ToolOption fileOption(const char* name, std::string& into) {
    return {name, true, false, std::string(name) + " needs a file name", [&into](const char* value) {
                if (value == nullptr || *value == '\0') return false;
                into = value;
                return true;
            }};
}

}  // namespace

bool parseTraceArguments(int argc, const char* const* argv, TraceOptions& options, bool& help,
                         std::string& error) {
    // A scene, a drop world or a scene file, one of the three.
    SceneChoice choice;
    const bool parsed = parseToolArguments(
        argc, argv,
        {
            {"--events", false, false, "",
             [&](const char*) {
                 options.events = true;
                 return true;
             }},
            sceneOption(-1, sceneCount - 1, options.scene, choice),
            integerOption("--drop", false, 1, 10000, options.drop),
            sceneFileOption(choice),
            integerOption("--frames", true, 0, 100000000L, options.frames),
            integerOption("--frame-ms", true, 0, 4294967295LL, options.frameMs),
            {"--time-scale", true, false, "--time-scale needs a positive number",
             [&](const char* value) {
                 char* end = nullptr;
                 const double s = value != nullptr ? std::strtod(value, &end) : 0.0;
                 if (value == nullptr || *value == '\0' || *end != '\0' || !std::isfinite(s) || !(s > 0.0) ||
                     s > 1e6) {
                     return false;
                 }
                 options.timeScale = static_cast<float>(s);
                 return true;
             }},
            integerOption("--from-frame", false, 0, 100000000L, options.fromFrame),
            fileOption("--save-state", options.saveState),
            fileOption("--restore-state", options.restoreState),
        },
        help, error);
    if (!parsed) return false;
    if (options.fromFrame > options.frames) {
        error = "--from-frame must be at most --frames";
        return false;
    }
    if (int(choice.sceneGiven) + int(options.drop > 0) + int(!choice.file.empty()) != 1) {
        error = "one of --scene, --drop and --scene-file is required (see --help)";
        return false;
    }
    return readChosenSceneFile(choice, options.sceneFile, error);
}
