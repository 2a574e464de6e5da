// Prints the peer scene of the C++ benchmarks as the JavaScript port's check reads it:
// the constants, then one line per body of makeScene(n) for each n given.
//   g++ -std=c++17 -I <the peers' folder> print_scene.cpp -o print_scene && ./print_scene 3 7 70 200
#include <cstdio>
#include <cstdlib>

#include "scene.h"

// scene.h says these in words; the peers build them as btSphereShape(1) and btBoxShape(1, 1, 1).
constexpr double kSphereRadius = 1, kCubeEdge = 2;

int main(int argc, char** argv) {
    std::printf("constants %.17g %.17g %.17g %.17g %.17g\n", kMass, kGravityZ, kRestitution, kSphereRadius, kCubeEdge);
    for (int a = 1; a < argc; ++a) {
        const int n = std::atoi(argv[a]);
        std::printf("scene %d\n", n);
        for (const BodySpec& b : makeScene(n))
            std::printf("%d %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", b.sphere, b.p[0], b.p[1], b.p[2],
                        b.v[0], b.v[1], b.v[2], b.w[0], b.w[1], b.w[2]);
    }
}
