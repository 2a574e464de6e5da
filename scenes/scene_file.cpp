#include "prallwerk/scenes/scene_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "prallwerk/math/number_text.h"
#include "prallwerk/scenes/materials.h"
#include "prallwerk/world/rules.h"

// The JSON library is compiled in header-only. It reports through the SAX
// handler below and never throws on this path; JSON_NOEXCEPTION turns any
// throw left in it into an abort, which the fuzz test would find, as the
// WebAssembly build has no exceptions to catch.
#define JSON_NOEXCEPTION
#include <nlohmann/json.hpp>

namespace prallwerk {

namespace {

constexpr const char* formatName = "prallwerk-scene";
// The versions this program reads: version 2 adds the scene's rules and a
// body's friction and fixed, and reads every version-1 file as version 1 did.
constexpr double firstVersion = 1.0;
constexpr double newestVersion = 2.0;

// The fields of a scene file; bits of a set of them.
enum Field : unsigned {
    none = 0,
    format = 1u << 0,
    version = 1u << 1,
    name = 1u << 2,
    watch = 1u << 3,
    gravity = 1u << 4,
    bodies = 1u << 5,
    kind = 1u << 6,
    radius = 1u << 7,
    size = 1u << 8,
    mass = 1u << 9,
    density = 1u << 10,
    material = 1u << 11,
    restitution = 1u << 12,
    position = 1u << 13,
    velocity = 1u << 14,
    spin = 1u << 15,
    angles = 1u << 16,
    rules = 1u << 17,
    friction = 1u << 18,
    fixed = 1u << 19,
};

// What a field's value must be.
enum class ValueKind { text, number, numbers, bodyList, truth };

struct FieldSpec {
    const char* name;
    Field field;
    ValueKind kind;
    double since = firstVersion;  // the first version that has the field
};

const FieldSpec sceneFields[] = {
    {"format", format, ValueKind::text},    {"version", version, ValueKind::number},
    {"name", name, ValueKind::text},        {"watch", watch, ValueKind::text},
    {"gravity", gravity, ValueKind::numbers}, {"bodies", bodies, ValueKind::bodyList},
    {"rules", rules, ValueKind::text, newestVersion},
};

const FieldSpec bodyFields[] = {
    {"kind", kind, ValueKind::text},
    {"radius", radius, ValueKind::number},
    {"size", size, ValueKind::numbers},
    {"mass", mass, ValueKind::number},
    {"density", density, ValueKind::number},
    {"material", material, ValueKind::text},
    {"restitution", restitution, ValueKind::number},
    {"position", position, ValueKind::numbers},
    {"velocity", velocity, ValueKind::numbers},
    {"spin", spin, ValueKind::numbers},
    {"angles", angles, ValueKind::numbers},
    {"friction", friction, ValueKind::number, newestVersion},
    {"fixed", fixed, ValueKind::truth, newestVersion},
};

// One of the two tables above, for a range-for.
struct FieldTable {
    const FieldSpec* first;
    const FieldSpec* last;
    const FieldSpec* begin() const { return first; }
    const FieldSpec* end() const { return last; }
};

template <std::size_t count>
FieldTable tableOf(const FieldSpec (&specs)[count]) {
    return {specs, specs + count};
}

const char* const typeRules[] = {
    "must be a string",
    "must be a number",
    "must be an array of 3 numbers",
    "must be an array of bodies (objects)",
    "must be true or false",
};

// A key as a JSON path writes it (~ as ~0, / as ~1), with control characters
// shown as \u escapes so that a message stays on one line.
std::string pathStep(const std::string& key) {
    std::string step;
    for (unsigned char c : key) {
        if (c == '~') {
            step += "~0";
        } else if (c == '/') {
            step += "~1";
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            step += escape;
        } else {
            step += static_cast<char>(c);
        }
    }
    return step;
}

std::string numberText(double v) {
    std::string text;
    appendShortest(text, v);
    return text;
}

std::string floatText(float v) {
    std::string text;
    appendShortest(text, v);
    return text;
}

std::string materialNames() {
    std::string names;
    for (const Material& m : materialTable) {
        if (!names.empty()) names += ", ";
        names += m.name;
    }
    return names;
}

bool isOneLine(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

// One open object or array of the file.
struct Frame {
    enum Kind { scene, bodyList, body, numbers } kind;
    std::string path;                 // its JSON path ("" for the whole file)
    const FieldSpec* next = nullptr;  // object: the field whose value comes next
    unsigned given = 0;               // object: the fields seen so far
    int count = 0;                    // array: its elements so far
    Field target = none;              // numbers: the field they fill
    double values[3] = {0.0, 0.0, 0.0};
};

// The SAX handler: follows the file event by event, fills the description
// and stops at the first rule broken (every call returns false from then on,
// which ends the parse).
class SceneReader {
public:
    SceneReader(const std::string& text, const std::string& fileName) : text_(text) { error_.file = fileName; }

    SceneRead result() {
        SceneRead read;
        if (failed_) {
            read.error = error_;
        } else {
            read.scene = std::move(scene_);
        }
        return read;
    }

    // --- nlohmann::json's SAX interface ---

    bool null() { return scalar(); }

    // "fixed" is the one field that takes true or false.
    bool boolean(bool value) {
        if (!expect(ValueKind::truth)) return false;
        frames_.back().next = nullptr;
        body_.fixed = value;
        return true;
    }

    bool binary(nlohmann::json::binary_t&) { return scalar(); }
    bool number_integer(std::int64_t v) { return number(static_cast<double>(v)); }
    bool number_unsigned(std::uint64_t v) { return number(static_cast<double>(v)); }

    // The library's own double (from the C library's strtod) is not used: the
    // number is read again from its text, which rounds the same everywhere.
    bool number_float(double, const std::string& text) {
        // The library writes the locale's decimal point into the text it
        // hands out; a JSON number has only '.' there.
        std::string decimal = text;
        for (char& c : decimal) {
            if (!(c >= '0' && c <= '9') && c != '-' && c != '+' && c != 'e' && c != 'E') c = '.';
        }
        double v = 0.0;
        switch (readDecimal(decimal.data(), decimal.data() + decimal.size(), v)) {
        case DecimalRead::ok:
            return number(v);
        case DecimalRead::outOfRange:
            return refuse(valuePath(), "is too large for a double");
        case DecimalRead::invalid:
            break;
        }
        return refuse(valuePath(), "is not a number: " + text);
    }

    bool string(std::string& text) {
        if (!expect(ValueKind::text)) return false;
        Frame& f = frames_.back();
        const std::string path = valuePath();
        const Field field = f.next->field;
        f.next = nullptr;
        switch (field) {
        case format:
            if (text != formatName) return refuse(path, std::string("must be \"") + formatName + "\"");
            return true;
        case name:
        case watch:
            if (!isOneLine(text)) return refuse(path, "must be one line (no control characters)");
            (field == name ? scene_.name : scene_.watch) = text;
            return true;
        case kind:
            if (text == "sphere") {
                body_.kind = kindSphere;
            } else if (text == "box") {
                body_.kind = kindBox;
            } else {
                return refuse(path, "must be \"sphere\" or \"box\"");
            }
            return true;
        case material: {
            BodyDef probe;
            if (!applyMaterial(probe, text.c_str())) return refuse(path, "must be one of " + materialNames());
            material_ = text;
            return true;
        }
        case rules: {
            const std::optional<Rules> named = rulesNamed(text);
            if (!named) {
                return refuse(path, std::string("must be \"") + rulesName(Rules::classic) + "\" or \"" +
                                        rulesName(Rules::physical) + "\"");
            }
            scene_.rules = *named;
            return checkFixed(true);
        }
        default:
            return true;
        }
    }

    bool start_object(std::size_t) {
        if (frames_.empty()) {
            frames_.push_back(Frame{Frame::scene, ""});
            return true;
        }
        Frame& f = frames_.back();
        if (f.kind == Frame::bodyList) {
            const std::string path = f.path + "/" + std::to_string(f.count);
            if (f.count == maxSceneFileBodies) {
                return refuse(path, "a scene file holds at most " + std::to_string(maxSceneFileBodies) + " bodies");
            }
            ++f.count;
            body_ = BodyDef{};
            material_.clear();
            frames_.push_back(Frame{Frame::body, path});
            return true;
        }
        return scalar();
    }

    bool key(std::string& k) {
        Frame& f = frames_.back();
        const std::string path = f.path + "/" + pathStep(k);
        const bool isScene = f.kind == Frame::scene;
        const FieldTable fields = isScene ? tableOf(sceneFields) : tableOf(bodyFields);
        const FieldSpec* spec = nullptr;
        for (const FieldSpec& s : fields) {
            if (k == s.name) spec = &s;
        }
        if (spec == nullptr) {
            // The fields of the file's version, or of the newest while it has
            // not said which.
            const double shown = version_ == 0.0 ? newestVersion : version_;
            std::string known;
            for (const FieldSpec& s : fields) {
                if (s.since <= shown) known += std::string(known.empty() ? "" : ", ") + s.name;
            }
            return refuse(path, std::string("unknown field (") + (isScene ? "a scene has " : "a body has ") + known + ")");
        }
        if (spec->since > firstVersion && !checkNewerField(path)) return false;
        if ((f.given & spec->field) != 0) return refuse(path, "is given twice");
        const unsigned massFields = mass | density | material;
        if ((spec->field & massFields) != 0 && (f.given & massFields) != 0) {
            return refuse(path, "give one of mass, density and material, not two");
        }
        f.given |= spec->field;
        f.next = spec;
        return true;
    }

    bool end_object() {
        Frame f = std::move(frames_.back());
        frames_.pop_back();
        return f.kind == Frame::scene ? endScene(f) : endBody(f);
    }

    bool start_array(std::size_t) {
        if (frames_.empty()) return scalar();
        Frame& f = frames_.back();
        if (f.kind == Frame::bodyList || f.kind == Frame::numbers || f.next == nullptr) return scalar();
        const FieldSpec* spec = f.next;
        const std::string path = valuePath();
        f.next = nullptr;
        if (spec->kind == ValueKind::bodyList) {
            frames_.push_back(Frame{Frame::bodyList, path});
            return true;
        }
        if (spec->kind != ValueKind::numbers) return refuse(path, typeRules[static_cast<int>(spec->kind)]);
        Frame numbers{Frame::numbers, path};
        numbers.target = spec->field;
        frames_.push_back(numbers);
        return true;
    }

    bool end_array() {
        Frame f = frames_.back();
        frames_.pop_back();
        if (f.kind != Frame::numbers) return true;
        if (f.count != 3) return refuse(f.path, "must be an array of 3 numbers");
        const Vec3 v{f.values[0], f.values[1], f.values[2]};
        switch (f.target) {
        case gravity:
            scene_.gravity = v;
            break;
        case size:
            body_.length = static_cast<float>(v.x);
            body_.width = static_cast<float>(v.y);
            body_.height = static_cast<float>(v.z);
            break;
        case position:
            body_.position = v;
            break;
        case velocity:
            body_.velocity = v;
            break;
        case spin:
            body_.spin = v;
            break;
        case angles:
            body_.angles = v;
            break;
        default:
            break;
        }
        return true;
    }

    // Text that is no JSON (or a number too large for the library): the line
    // and column of the byte where reading stopped, and the library's words.
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) {
        if (failed_) return false;
        if (e.id == outOfRangeNumber) return refuse(valuePath(), "is too large for a double");
        std::size_t line = 1, lineStart = 0;
        const std::size_t end = position < text_.size() ? position : text_.size();
        for (std::size_t i = 0; i < end; ++i) {
            if (text_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        // The library's message begins with its own name and place:
        // "[json.exception.parse_error.101] parse error at line 1, column 2: ".
        std::string words = e.what();
        const std::size_t colon = words.find(": ");
        if (colon != std::string::npos) words.erase(0, colon + 2);
        return refuse("line " + std::to_string(line) + ", column " + std::to_string(position - lineStart),
                      "not JSON: " + words);
    }

private:
    static constexpr int outOfRangeNumber = 406;  // the library's id for a number beyond a double

    // The JSON path of the value that comes next.
    std::string valuePath() const {
        if (frames_.empty()) return "/";
        const Frame& f = frames_.back();
        if (f.kind == Frame::bodyList || f.kind == Frame::numbers) return f.path + "/" + std::to_string(f.count);
        if (f.next != nullptr) return f.path + "/" + f.next->name;
        return f.path.empty() ? "/" : f.path;
    }

    // Whether the next value may be of this kind; refuses it otherwise.
    bool expect(ValueKind kind) {
        if (frames_.empty()) return refuse("/", "must be an object (a scene)");
        const Frame& f = frames_.back();
        if (f.kind == Frame::bodyList) return refuse(valuePath(), "must be an object (a body)");
        if (f.kind == Frame::numbers) {
            if (kind == ValueKind::number) return true;
            return refuse(valuePath(), "must be a number");
        }
        if (f.next == nullptr) return refuse(valuePath(), "is not a value here");  // the parser never asks
        if (f.next->kind != kind) return refuse(valuePath(), typeRules[static_cast<int>(f.next->kind)]);
        return true;
    }

    // A value of a kind no field takes (null, true, false, an object in the
    // wrong place).
    bool scalar() {
        if (frames_.empty() || frames_.back().kind != Frame::numbers) {
            if (frames_.empty()) return refuse("/", "must be an object (a scene)");
            const Frame& f = frames_.back();
            if (f.kind == Frame::bodyList) return refuse(valuePath(), "must be an object (a body)");
            if (f.next == nullptr) return refuse(valuePath(), "is not a value here");  // the parser never asks
            return refuse(valuePath(), typeRules[static_cast<int>(f.next->kind)]);
        }
        return refuse(valuePath(), "must be a number");
    }

    bool number(double v) {
        if (!expect(ValueKind::number)) return false;
        Frame& f = frames_.back();
        if (f.kind == Frame::numbers) {
            if (f.count == 3) return refuse(f.path, "must be an array of 3 numbers");
            f.values[f.count++] = v;
            return true;
        }
        const std::string path = valuePath();
        const Field field = f.next->field;
        f.next = nullptr;
        // The engine keeps these in single precision: the double read is
        // rounded once more, to the nearest float.
        const float single = static_cast<float>(v);
        switch (field) {
        case version:
            if (v != firstVersion && v != newestVersion) {
                return refuse(path, "must be 1 or 2 (the versions this program reads)");
            }
            version_ = v;
            return checkNewerField("");
        case radius:
            body_.radius = single;
            break;
        case mass:
            body_.mass = single;
            break;
        case density:
            body_.density = single;
            break;
        case restitution:
            restitution_ = single;
            break;
        case friction:
            friction_ = single;
            break;
        default:
            break;
        }
        return true;
    }

    bool endScene(const Frame& f) {
        for (Field required : {format, version, bodies}) {
            if ((f.given & required) != 0) continue;
            for (const FieldSpec& s : sceneFields) {
                if (s.field == required) return refuse("/", std::string("missing field \"") + s.name + "\"");
            }
        }
        // A file that names no rules runs by the classic ones.
        return checkFixed(true);
    }

    // A field that version 1 does not have, at path (or "" once the version
    // is read): refused in a file of version 1. Its version may come after
    // it, so the first such field's path is kept until the version is read.
    bool checkNewerField(const std::string& path) {
        if (newerFieldPath_.empty()) newerFieldPath_ = path;
        if (version_ == firstVersion && !newerFieldPath_.empty()) {
            return refuse(newerFieldPath_, "needs version 2 of the format (the file says version 1)");
        }
        return true;
    }

    // The classic rules have no fixed bodies: a fixed body is refused once
    // the rules are known (named by the file, or at its end, classic
    // without a name). Its rules may come after its bodies, so the first
    // fixed body's path is kept until then.
    bool checkFixed(bool rulesKnown) {
        if (rulesKnown && scene_.rules == Rules::classic && !fixedPath_.empty()) {
            return refuse(fixedPath_, "the classic rules have no fixed bodies (give \"rules\": \"physical\")");
        }
        return true;
    }

    // A body's fields are all known: its defaults, the fields its kind needs,
    // and the engine's own checks.
    bool endBody(const Frame& f) {
        const std::string& path = f.path;
        if ((f.given & kind) == 0) return refuse(path, "missing field \"kind\"");
        if (body_.kind == kindSphere) {
            if ((f.given & size) != 0) return refuse(path + "/size", "a sphere has a radius, not a size");
            if ((f.given & radius) == 0) return refuse(path, "missing field \"radius\" (a sphere needs one)");
        } else {
            if ((f.given & radius) != 0) return refuse(path + "/radius", "a box has a size, not a radius");
            if ((f.given & size) == 0) return refuse(path, "missing field \"size\" (a box needs one)");
        }
        // A material gives density, restitution and friction; a restitution
        // or friction given as well is the body's own.
        if ((f.given & material) != 0) applyMaterial(body_, material_.c_str());
        if ((f.given & (mass | density | material)) == 0) body_.density = defaultSceneDensity;
        if ((f.given & restitution) != 0) body_.restitution = restitution_;
        if ((f.given & friction) != 0) body_.friction = friction_;

        const int index = static_cast<int>(scene_.bodies.size());
        if (const std::optional<ValueError> e = checkBody(body_, index)) return refuseValue(f, *e);
        if (body_.fixed && fixedPath_.empty()) fixedPath_ = path + "/fixed";
        if (!checkFixed((frames_.front().given & rules) != 0)) return false;
        scene_.bodies.push_back(body_);
        return true;
    }

    // The engine's refusal of a body's value, at the field of the file that
    // gave it.
    bool refuseValue(const Frame& f, const ValueError& e) {
        struct Place {
            const char* field;  // ValueError's
            const char* step;   // the path's
            bool single;        // a single-precision value
        };
        static const Place places[] = {
            {"radius", "radius", true},       {"length", "size/0", true},       {"width", "size/1", true},
            {"height", "size/2", true},       {"mass", "mass", true},           {"density", "density", true},
            {"restitution", "restitution", true}, {"friction", "friction", true},
            {"position.x", "position/0", false},
            {"position.y", "position/1", false}, {"position.z", "position/2", false},
            {"velocity.x", "velocity/0", false}, {"velocity.y", "velocity/1", false},
            {"velocity.z", "velocity/2", false}, {"spin.x", "spin/0", false},
            {"spin.y", "spin/1", false},         {"spin.z", "spin/2", false},
            {"angles.x", "angles/0", false},     {"angles.y", "angles/1", false},
            {"angles.z", "angles/2", false},
        };
        std::string step = e.field;
        bool single = false;
        for (const Place& p : places) {
            if (e.field == p.field) {
                step = p.step;
                single = p.single;
            }
        }
        std::string rule = e.rule;
        double value = e.value;
        // The mass and density come from whichever field the body gave.
        if (e.field == "mass" || e.field == "density") {
            if ((f.given & material) != 0) {
                step = "material";
            } else if ((f.given & density) != 0) {
                step = "density";
                if (e.field == "mass") {
                    rule = "must be above 0";
                    value = body_.density;
                }
            }
        }
        return refuse(f.path + "/" + step,
                      rule + " (it is " + (single ? floatText(static_cast<float>(value)) : numberText(value)) + ")");
    }

    bool refuse(const std::string& place, const std::string& rule) {
        if (!failed_) {
            failed_ = true;
            error_.place = place;
            error_.rule = rule;
        }
        return false;
    }

    const std::string& text_;
    SceneFileError error_;
    bool failed_ = false;
    std::vector<Frame> frames_;
    SceneDescription scene_;
    BodyDef body_;            // the body being read
    std::string material_;    // its material's name, if it gave one
    float restitution_ = 0.0f;  // its restitution, if it gave one
    float friction_ = 0.0f;     // its friction, if it gave one
    double version_ = 0.0;      // the file's version; 0 until it is read
    std::string newerFieldPath_;  // the first field that version 1 does not have
    std::string fixedPath_;       // the first fixed body's "fixed"
};

}  // namespace

std::string SceneFileError::message() const { return file + ": " + (place.empty() ? "" : place + ": ") + rule; }

SceneRead parseScene(const std::string& text, const std::string& fileName) {
    SceneReader reader(text, fileName);
    nlohmann::json::sax_parse(text, &reader);
    return reader.result();
}

SceneRead readSceneFile(const std::string& path) {
    SceneRead read;
    auto refuse = [&](const std::string& rule) {
        read.error = SceneFileError{path, "", rule};
        return read;
    };
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return refuse(std::string("cannot be opened: ") + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0 && text.size() <= static_cast<std::size_t>(maxSceneFileBytes)) {
        text.append(buffer, n);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) return refuse("cannot be read");
    if (text.size() > static_cast<std::size_t>(maxSceneFileBytes)) {
        return refuse("is larger than " + std::to_string(maxSceneFileBytes >> 20) + " MiB");
    }
    return parseScene(text, path);
}

BuiltWorld buildWorld(const SceneDescription& scene) { return buildWorld(scene.bodies, scene.gravity, scene.rules); }

}  // namespace prallwerk
