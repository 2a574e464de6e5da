// The peer scene in cannon-es, set up as the C++ peers set up Bullet: one material of
// restitution 1 and friction 0.5 on every body and the ground, which cannon-es combines
// as products as Bullet does (0.25 between two bodies), its Gauss-Seidel solver at 10
// iterations (Bullet's count and cannon-es's default), no damping (cannon-es's default
// is 0.01), sleeping only when asked. Its broad phase is sweep and prune, the nearest it
// has to Bullet's bounding-volume tree (its default tests every pair).
import * as CANNON from 'cannon-es';
import { gravityZ, mass, restitution, sphereRadius, cubeEdge } from '../scene.mjs';

const friction = 0.5;
const solverIterations = 10;

export async function open(bodies, { dt, sleep }) {
    const world = new CANNON.World({ gravity: new CANNON.Vec3(0, 0, gravityZ), allowSleep: sleep });
    world.broadphase = new CANNON.SAPBroadphase(world);
    world.solver.iterations = solverIterations;
    const material = new CANNON.Material({ friction, restitution });

    // A plane's normal is its body's +z, here the world's up.
    world.addBody(new CANNON.Body({ mass: 0, shape: new CANNON.Plane(), material }));
    const half = cubeEdge / 2;
    const sphere = new CANNON.Sphere(sphereRadius);
    const cube = new CANNON.Box(new CANNON.Vec3(half, half, half));
    const handles = bodies.map((b) => {
        const body = new CANNON.Body({
            mass,
            material,
            shape: b.sphere ? sphere : cube,
            position: new CANNON.Vec3(...b.p),
            velocity: new CANNON.Vec3(...b.v),
            angularVelocity: new CANNON.Vec3(...b.w),
            linearDamping: 0,
            angularDamping: 0,
        });
        world.addBody(body);
        return body;
    });

    return {
        step: () => world.step(dt),  // one fixed step of dt, no interpolation
        finals: () => handles.map((body) => ({ z: body.position.z, speed: body.velocity.length() })),
        close: () => {},
    };
}
