// Soaks the desktop program in random input on the current X display:
//
//   prallwerk-soak [--seconds N] [--seed S] [--no-memory-bar] [--memory-log FILE]
//
// The program (its own loop, SDL platform, controls and OpenGL drawing) runs
// in a child process; this process plays the user through XTest and
// signals, in phases of two seconds, cycling through:
//   keys     every bound key but Escape and random other key codes, tapped
//            (down and up at once) and held
//   mouse    left drags, right clicks, wheel turns
//   sizes    client areas of 1 x 1, one pixel wide or high, 0 high and up to
//            4000 x 3000, then back to 1024 x 768
//   minimise minimise and restore, also a screen-mode toggle while minimised
//   toggle   SIGUSR1, the screen-mode toggle from outside, also twice at once
//   scenes   scene and time-scale changes, resets, while the scene runs
//   mixed    all of these at random
// After each phase it checks that the program is alive and still drawing,
// that every body's state has stayed finite and that OpenGL reported no
// error. At the end Escape must end the program with status 0, and the
// resident memory of the last quarter of the run must exceed that of the
// first quarter by less than 1 MiB (each quarter's median sample, the
// quarters taken after a first round of warm-up through all phases). Prints the figures; exit status 0 when every check held.
// --memory-log writes every memory sample (seconds, KiB, windows, frames).
//
// For example: xvfb-run -a -s "-screen 0 1024x768x24" build/tools/prallwerk-soak --seconds 600

#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/arguments.h"
#include "tools/soak/soak_program.h"
#include "tools/soak/soak_shared.h"
#include "tools/soak/x_input.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto phaseLength = milliseconds(2000);
constexpr auto stallLimit = milliseconds(15000);  // no frame for this long while shown: hung
constexpr double memoryBarMiB = 1.0;
constexpr int warmUpPhases = 7;  // one of each
constexpr int screenWidth = 1024, screenHeight = 768;

struct RssSample {
    Clock::time_point at;
    long kib;
    int generations;
    long frames;
};

long residentKiB(pid_t pid) {
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    long pages = 0, resident = 0;
    if (!(statm >> pages >> resident)) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Soak {
public:
    Soak(SoakShared& shared, pid_t child, unsigned seed) : shared_(shared), child_(child), random_(seed) {}

    bool start() {
        if (!input_.open()) return fail("no X display with the XTest extension");
        const Clock::time_point until = Clock::now() + milliseconds(20000);
        while (shared_.frames.load() < 3) {
            if (!alive()) return fail("the program ended before its first frames");
            if (Clock::now() > until) return fail("no frame within 20 s of the start");
            pause(50);
        }
        // Focus and sizes go to the program's own window: a soak that could
        // not name it would send them nowhere and pass.
        if (shared_.window.load() == 0) return fail("the program's X window is not known after its first frames");
        boundKeys_ = {XK_space, XK_r,    XK_R,      XK_F3,      XK_F5,          XK_F6,       XK_F7,
                      XK_F8,    XK_a,    XK_Prior,  XK_Next,    XK_Left,        XK_Right,    XK_Up,
                      XK_Down,  XK_KP_Subtract, XK_KP_Add, XK_KP_Divide, XK_KP_Multiply};
        escape_ = input_.keyCodeOf(XK_Escape);
        return true;
    }

    // Runs phases until the time is up; false as soon as a check fails.
    bool run(Clock::time_point end) {
        static const char* const names[] = {"keys", "mouse", "sizes", "minimise", "toggle", "scenes", "mixed"};
        for (int phase = 0; Clock::now() < end; phase = (phase + 1) % 7) {
            const Clock::time_point phaseEnd = std::min(end, Clock::now() + phaseLength);
            const long framesBefore = shared_.frames.load();
            while (Clock::now() < phaseEnd) {
                act(phase == 6 ? pick(0, 5) : phase);
                if (!healthy()) return false;
            }
            restoreWindow();
            if (!check(names[phase], framesBefore)) return false;
            ++phases_;
        }
        return true;
    }

    // Escape, then the exit status.
    bool finish() {
        restoreWindow();
        for (int attempt = 0; attempt < 3 && alive(); ++attempt) {
            input_.focus(shared_.window.load());
            pause(50);
            input_.tap(escape_);
            const Clock::time_point until = Clock::now() + milliseconds(5000);
            while (alive() && Clock::now() < until) pause(20);
        }
        if (alive()) return fail("still running after Escape");
        if (!WIFEXITED(status_) || WEXITSTATUS(status_) != 0) {
            return fail("the program ended with " + describeStatus() + " after Escape");
        }
        return true;
    }

    // The first round through the phases warms up: the libraries fill their
    // caches and the heap takes its working size. Memory counts after it.
    void sampleMemory() {
        if (phases_ < warmUpPhases || Clock::now() - lastSample_ < milliseconds(200)) return;
        lastSample_ = Clock::now();
        const long kib = residentKiB(child_);
        if (kib > 0) rss_.push_back({lastSample_, kib, shared_.generations.load(), shared_.frames.load()});
    }

    const std::vector<RssSample>& memory() const { return rss_; }
    long eventsSent() const { return input_.events + signals_ + commands_; }
    long signals() const { return signals_; }
    long commands() const { return commands_; }
    int phases() const { return phases_; }
    const std::string& failure() const { return failure_; }

    void killProgram() {
        if (alive()) {
            kill(child_, SIGKILL);
            waitpid(child_, &status_, 0);
        }
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    void pause(int ms) {
        sampleMemory();
        std::this_thread::sleep_for(milliseconds(ms));
    }

    bool fail(const std::string& why) {
        if (failure_.empty()) failure_ = why;
        return false;
    }

    bool alive() {
        if (exited_) return false;
        if (waitpid(child_, &status_, WNOHANG) == child_) exited_ = true;
        return !exited_;
    }

    std::string describeStatus() const {
        if (WIFEXITED(status_)) return "status " + std::to_string(WEXITSTATUS(status_));
        if (WIFSIGNALED(status_)) return std::string("signal ") + strsignal(WTERMSIG(status_));
        return "an unknown end";
    }

    // Alive, and drawing unless minimised.
    bool healthy() {
        if (!alive()) return fail("the program ended (" + describeStatus() + ")");
        const long frames = shared_.frames.load();
        if (frames != lastFrames_ || minimised_) {
            lastFrames_ = frames;
            lastFrameSeen_ = Clock::now();
        } else if (Clock::now() - lastFrameSeen_ > stallLimit) {
            return fail("no frame drawn for 15 s");
        }
        return true;
    }

    bool check(const char* phase, long framesBefore) {
        // A slow renderer on a busy machine may have drawn nothing in the
        // phase yet; the window is shown again now, so a frame must follow.
        const Clock::time_point until = Clock::now() + stallLimit;
        while (shared_.frames.load() == framesBefore && alive() && Clock::now() < until) pause(20);
        const long frames = shared_.frames.load();
        const bool ok = healthy() && shared_.nonFiniteFrames.load() == 0 && shared_.glErrors.load() == 0 &&
                        frames > framesBefore;
        std::printf("phase %-8s frames %7ld  generations %4d  bodies finite %-3s  GL errors %ld\n", phase, frames,
                    shared_.generations.load(), shared_.nonFiniteFrames.load() == 0 ? "yes" : "NO",
                    shared_.glErrors.load());
        std::fflush(stdout);
        if (!failure_.empty()) return false;
        if (shared_.nonFiniteFrames.load() != 0) return fail(std::string("a body's state became non-finite in ") + phase);
        if (shared_.glErrors.load() != 0) {
            return fail("OpenGL error 0x" + std::to_string(shared_.firstGlError.load()) + " in " + phase);
        }
        if (!ok) return fail(std::string("no frame drawn in 15 s after phase ") + phase);
        return true;
    }

    void command(SoakShared::Command c) {
        shared_.command = c;
        ++commands_;
        // Something for the program's wait to wake up for, wherever the
        // pointer was.
        input_.moveTo(pick(100, 900), pick(100, 600));
        input_.moveTo(pick(100, 900), pick(100, 600));
    }

    void toggle() {
        kill(child_, SIGUSR1);
        ++signals_;
        minimised_ = false;  // the next window is shown
    }

    void restoreWindow() {
        if (minimised_) {
            command(SoakShared::restore);
            minimised_ = false;
        }
        if (resized_) {
            input_.resize(shared_.window.load(), screenWidth, screenHeight);
            resized_ = false;
        }
        pause(30);
    }

    int randomKey() {
        if (pick(0, 3) == 0) {
            int code = escape_;
            while (code == escape_) code = pick(8, 255);
            return code;
        }
        return input_.keyCodeOf(boundKeys_[static_cast<size_t>(pick(0, static_cast<int>(boundKeys_.size()) - 1))]);
    }

    void pressKey(int code) {
        input_.focus(shared_.window.load());
        if (pick(0, 1) == 0) {
            input_.tap(code);
            pause(pick(5, 40));
        } else {
            input_.key(code, true);
            pause(pick(10, 300));
            input_.key(code, false);
        }
    }

    void act(int kind) {
        switch (kind) {
        case 0:  // keys
            pressKey(randomKey());
            break;
        case 1: {  // mouse
            const int what = pick(0, 2);
            input_.moveTo(pick(0, screenWidth + 50), pick(0, screenHeight + 50));
            if (what == 0) {
                input_.button(1, true);
                for (int i = pick(1, 8); i > 0; --i) {
                    input_.moveTo(pick(0, screenWidth), pick(0, screenHeight));
                    pause(pick(5, 30));
                }
                input_.button(1, false);
            } else if (what == 1) {
                input_.button(3, true);
                pause(pick(5, 50));
                input_.button(3, false);
            } else {
                const int wheel = pick(4, 5);
                input_.button(wheel, true);
                input_.button(wheel, false);
            }
            pause(pick(5, 30));
            break;
        }
        case 2: {  // sizes
            static const int sizes[][2] = {{1, 1}, {2, 2}, {1, 600}, {800, 1}, {4000, 3000}, {3000, 40}};
            const int which = pick(0, 7);
            if (which == 6) {
                command(SoakShared::zeroHeight);
            } else {
                const int w = which < 6 ? sizes[which][0] : pick(1, 1600);
                const int h = which < 6 ? sizes[which][1] : pick(1, 1200);
                input_.resize(shared_.window.load(), w, h);
                resized_ = true;
            }
            pause(pick(30, 200));
            break;
        }
        case 3: {  // minimise
            command(SoakShared::minimise);
            minimised_ = true;
            pause(pick(50, 400));
            if (pick(0, 4) == 0) {
                toggle();
            } else {
                command(SoakShared::restore);
                minimised_ = false;
            }
            pause(pick(50, 200));
            break;
        }
        case 4:  // toggle
            toggle();
            if (pick(0, 3) == 0) {
                pause(5);
                toggle();
            }
            pause(pick(100, 700));
            break;
        case 5: {  // scenes, while running
            if (shared_.simulationRunning.load() == 0) pressKey(input_.keyCodeOf(XK_space));
            static const unsigned long keys[] = {XK_F7, XK_F8, XK_F5, XK_F6, XK_F6, XK_r, XK_space};
            pressKey(input_.keyCodeOf(keys[pick(0, 6)]));
            pause(pick(20, 150));
            break;
        }
        }
    }

    SoakShared& shared_;
    pid_t child_;
    std::mt19937 random_;
    XInput input_;
    std::vector<unsigned long> boundKeys_;
    int escape_ = 0;
    bool minimised_ = false;
    bool resized_ = false;
    bool exited_ = false;
    int status_ = 0;
    long signals_ = 0;
    long commands_ = 0;
    int phases_ = 0;
    long lastFrames_ = -1;
    Clock::time_point lastFrameSeen_ = Clock::now();
    Clock::time_point lastSample_{};
    std::vector<RssSample> rss_;
    std::string failure_;
};

double mib(long kib) { return static_cast<double>(kib) / 1024.0; }

// The median of the samples of quarter q (0..3) of the run, by time. A
// window of 4000 x 3000 pixels holds about 150 MiB of buffers while it lasts;
// the median keeps such passing peaks out of a quarter's figure, while
// memory that stays taken moves it.
long quarterMedian(const std::vector<RssSample>& samples, int q) {
    if (samples.empty()) return 0;
    const auto span = samples.back().at - samples.front().at;
    std::vector<long> kib;
    for (const RssSample& s : samples) {
        const auto offset = s.at - samples.front().at;
        const int quarter = std::min(3, static_cast<int>(4 * offset.count() / std::max<long long>(1, span.count())));
        if (quarter == q) kib.push_back(s.kib);
    }
    if (kib.empty()) return 0;
    std::nth_element(kib.begin(), kib.begin() + static_cast<long>(kib.size() / 2), kib.end());
    return kib[kib.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    long long seconds = 60;
    long long seed = static_cast<long long>(std::random_device{}() & 0x7FFFFFFF);
    bool memoryBar = true;
    const char* memoryLog = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(argv[i], "--no-memory-bar") == 0) {
            memoryBar = false;
        } else if (std::strcmp(argv[i], "--memory-log") == 0 && value != nullptr) {
            memoryLog = value;
            ++i;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && parseLong(value, 10, 86400, seconds)) {
            ++i;
        } else if (std::strcmp(argv[i], "--seed") == 0 && parseLong(value, 0, 0x7FFFFFFF, seed)) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: prallwerk-soak [--seconds N (10..86400)] [--seed S] [--no-memory-bar] [--memory-log FILE]\n");
            return 2;
        }
    }
    SoakShared* shared = mapSoakShared();
    if (shared == nullptr) {
        std::fprintf(stderr, "prallwerk-soak: cannot map the shared page\n");
        return 1;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("prallwerk-soak: fork");
        return 1;
    }
    if (child == 0) _exit(runSoakedProgram(*shared));

    std::printf("soak: seed %lld, %lld s\n", seed, seconds);
    std::fflush(stdout);
    const Clock::time_point begin = Clock::now();
    Soak soak(*shared, child, static_cast<unsigned>(seed));
    const bool ok = soak.start() && soak.run(begin + std::chrono::seconds(seconds)) && soak.finish();
    soak.killProgram();
    const double minutes = std::chrono::duration<double>(Clock::now() - begin).count() / 60.0;

    const std::vector<RssSample>& rss = soak.memory();
    if (memoryLog != nullptr) {
        if (std::FILE* log = std::fopen(memoryLog, "w")) {
            for (const RssSample& r : rss) {
                std::fprintf(log, "%.1f %ld %d %ld\n", std::chrono::duration<double>(r.at - begin).count(), r.kib,
                             r.generations, r.frames);
            }
            std::fclose(log);
        }
    }
    const long first = quarterMedian(rss, 0), last = quarterMedian(rss, 3);
    long peak = 0;
    for (const RssSample& r : rss) peak = std::max(peak, r.kib);
    const double growth = mib(last - first);
    std::printf("soak: %.2f minutes, %d phases, seed %lld\n", minutes, soak.phases(), seed);
    std::printf("soak: events sent %ld (%ld signals, %ld window commands), frames drawn %ld in %d windows\n",
                soak.eventsSent(), soak.signals(), soak.commands(), shared->frames.load(),
                shared->generations.load());
    std::printf("soak: resident memory, median of each quarter %.2f, %.2f, %.2f, %.2f MiB: last over first "
                "%+.2f MiB (%zu samples, largest %.2f MiB)\n",
                mib(first), mib(quarterMedian(rss, 1)), mib(quarterMedian(rss, 2)), mib(last), growth, rss.size(),
                mib(peak));
    std::printf("soak: largest frame time %.1f ms (frame %ld)\n",
                static_cast<double>(shared->largestFrameUs.load()) / 1000.0, shared->largestFrameAt.load());
    if (!ok) {
        std::printf("soak: FAIL: %s\n", soak.failure().c_str());
        return 1;
    }
    if (memoryBar && (rss.size() < 8 || growth >= memoryBarMiB)) {
        std::printf("soak: FAIL: resident memory grew by %.2f MiB (bar: below %.1f MiB)\n", growth, memoryBarMiB);
        return 1;
    }
    std::printf("soak: PASS\n");
    return 0;
}
