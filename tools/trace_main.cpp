// prallwerk-trace: runs a scene frame by frame as the program does and prints
// the bodies' states (or the impacts) as CSV.
#include <cstdio>
#include <string>

#include "tools/host/host.h"
#include "tools/trace.h"

namespace {

const char* const usage =
    "Usage: prallwerk-trace (--scene N | --drop B | --scene-file FILE) --frames F --frame-ms M\n"
    "                       [--time-scale S] [--events]\n"
    "                       [--from-frame K] [--save-state FILE] [--restore-state FILE]\n"
    "\n"
    "Loads scene N (0..3) into a new gravity world, or keeps the world's default\n"
    "bodies for N = -1, or drops B bodies (1..10000) on a grid as the bench\n"
    "does, or builds the bodies of the scene file FILE (JSON, see the engine's\n"
    "documentation) under its gravity. Then runs F frames of M milliseconds\n"
    "each exactly as the program's per-frame update does while the simulation\n"
    "runs: the frame's\n"
    "simulated time is M * 0.001 / S seconds (S is the time scale, a positive\n"
    "number, default 1; the program uses 1, 2, 4, 8 and 16), split into steps\n"
    "of at most a tenth of a second.\n"
    "\n"
    "Output is CSV on stdout. By default the header\n"
    "  frame,body,kind,px,py,pz,vx,vy,vz,wx,wy,wz,ax,ay,az\n"
    "and one line per body for frame 0 (after loading) and after every frame:\n"
    "position, velocity, spin and angles, each printed with %.17g.\n"
    "With --events, the header\n"
    "  frame,substep,time,kind,a,b,t\n"
    "and one line per resolved impact instead: the frame, the sub-step within it,\n"
    "the simulated time of the impact, 'ground' or 'pair', the body indices (b is\n"
    "-1 for a ground impact) and the impact time within the step.\n"
    "\n"
    "With --from-frame K the trace begins at the end of frame K (0 to F): the\n"
    "states of frame K and after, the impacts of the frames after K; the frames\n"
    "before run unseen. --save-state FILE writes the world's snapshot at the\n"
    "end of frame K to FILE. --restore-state FILE builds the world as the other\n"
    "options say, then puts it into the snapshot FILE holds and takes it as the\n"
    "end of frame K: frames 1 to K are not run. A restored trace is the same\n"
    "bytes as the trace from frame K of the world that saved it, on any\n"
    "platform. A snapshot that cannot be read, written or restored prints one\n"
    "line on stderr and exits with status 2.\n"
    "\n"
    "Bad arguments print one line on stderr and exit with status 2, and so does\n"
    "a scene file that cannot be read or is refused (the line names the file,\n"
    "the place in it and the rule); a trace that could not be written exits\n"
    "with status 1.\n";

}  // namespace

int main(int argc, char** argv) {
    // The same bytes on every platform: no carriage return before each line end.
    writeStandardOutputAsBytes();
    TraceOptions options;
    bool help = false;
    std::string error;
    if (!parseTraceArguments(argc, argv, options, help, error)) {
        if (help) {
            std::fputs(usage, stdout);
            return 0;
        }
        std::fprintf(stderr, "prallwerk-trace: %s\n", error.c_str());
        return 2;
    }
    std::string refused;
    if (!writeTrace(options, stdout, &refused)) {
        std::fprintf(stderr, "prallwerk-trace: %s\n", refused.empty() ? "the scene's bodies were refused" : refused.c_str());
        return 2;
    }
    // A write that failed on the way fails the run, also where the C library
    // dropped the buffer then and the last flush has nothing left to fail on.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "prallwerk-trace: the trace could not be written\n");
        return 1;
    }
    return 0;
}
