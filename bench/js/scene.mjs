// The peer scene of the C++ benchmarks, for every JavaScript engine alike: the same
// bodies in the same order, so that their figures can stand side by side.

export const mass = 4.18879;        // 4/3 pi: a unit sphere of density 1
export const gravityZ = -9.81;      // z is up; the ground is the plane z = 0
export const restitution = 1.0;
export const sphereRadius = 1;
export const cubeEdge = 2;

const thrown = [
    { sphere: true,  p: [-20, 0, 6],  v: [5, 0, 15],  w: [5, 5, 5] },
    { sphere: false, p: [-12, 0, 10], v: [10, 0, 5],  w: [5, -5, 0] },
    { sphere: false, p: [12, 0, 10],  v: [-10, 0, 5], w: [5, -5, 0] },
    { sphere: false, p: [-10, 0, 15], v: [12, 0, 5],  w: [5, -5, 0] },
    { sphere: false, p: [10, 0, 15],  v: [-12, 0, 5], w: [5, -5, 0] },
    { sphere: false, p: [-11, 0, 5],  v: [10, 0, 5],  w: [5, -5, 0] },
    { sphere: false, p: [11, 0, 5],   v: [-10, 0, 5], w: [5, -5, 0] },
];

// Bodies beyond the seven thrown ones rest in an 8 x 8 grid per layer, 3 m apart,
// layers at z = 20, 23, ...: above everything else, so that they fall as a column.
const gridSide = 8;
const gridSpacing = 3;
const gridCorner = -10.5;
const firstLayerZ = 20;

// n bodies, each { sphere, p, v, w } (position, velocity, angular velocity), fresh
// arrays every call so that an adapter may keep or change them.
export function makeScene(n) {
    const bodies = thrown.slice(0, n).map((b) => ({ sphere: b.sphere, p: [...b.p], v: [...b.v], w: [...b.w] }));
    for (let k = 0; k < n - thrown.length; ++k) {
        const column = k % gridSide;
        const row = Math.floor(k / gridSide) % gridSide;
        const layer = Math.floor(k / (gridSide * gridSide));
        bodies.push({
            sphere: false,
            p: [gridCorner + gridSpacing * column, gridCorner + gridSpacing * row, firstLayerZ + gridSpacing * layer],
            v: [0, 0, 0],
            w: [0, 0, 0],
        });
    }
    return bodies;
}
