// The peer scene in Prallwerk's npm package, as the C++ peer sets it up through body
// definitions (prallwerk_scene.cpp): kind, size, mass, restitution, position, velocity
// and spin, friction at the engine's default; one world.step(dt) per step, under the
// rules the engine's name says. The package has no sleeping: a world at rest replays
// its last step by itself, asked or not.
import { gravityZ, mass, restitution, sphereRadius, cubeEdge } from '../scene.mjs';

export async function open(bodies, { dt, rules }) {
    const { createWorld } = await import('prallwerk');
    const world = await createWorld({ gravity: [0, 0, gravityZ], rules });
    for (const b of bodies) {
        world.addBody({
            kind: b.sphere ? 'sphere' : 'box',
            ...(b.sphere ? { radius: sphereRadius } : { size: [cubeEdge, cubeEdge, cubeEdge] }),
            mass,
            restitution,
            position: b.p,
            velocity: b.v,
            spin: b.w,
        });
    }
    return {
        step: () => world.step(dt),
        finals: () => {
            const p = world.positions, v = world.velocities;
            return bodies.map((_, i) => ({ z: p[3 * i + 2], speed: Math.hypot(v[3 * i], v[3 * i + 1], v[3 * i + 2]) }));
        },
        close: () => world.dispose(),
    };
}
