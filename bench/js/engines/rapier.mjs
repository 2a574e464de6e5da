// The peer scene in Rapier (@dimforge/rapier3d-compat), set up as the C++ peers set up
// Bullet: restitution 1 and friction 0.5 on every collider and the ground, combined as
// products (Bullet's rule; Rapier's own is the mean), 10 solver iterations (Bullet's;
// Rapier's default is 4), no damping, sleeping only when asked. Rapier has no velocity
// below which it stops bouncing, as Bullet's 0.2 m/s.
import RAPIER from '@dimforge/rapier3d-compat';
import { gravityZ, mass, restitution, sphereRadius, cubeEdge } from '../scene.mjs';

const friction = 0.5;
const solverIterations = 10;

export async function open(bodies, { dt, sleep }) {
    await RAPIER.init();
    const world = new RAPIER.World({ x: 0, y: 0, z: gravityZ });
    world.timestep = dt;
    world.numSolverIterations = solverIterations;
    const product = RAPIER.CoefficientCombineRule.Multiply;
    const material = (desc) => desc.setRestitution(restitution).setFriction(friction)
        .setRestitutionCombineRule(product).setFrictionCombineRule(product);

    world.createCollider(material(new RAPIER.ColliderDesc(new RAPIER.HalfSpace({ x: 0, y: 0, z: 1 }))));
    const half = cubeEdge / 2;
    const handles = bodies.map((b) => {
        const body = world.createRigidBody(RAPIER.RigidBodyDesc.dynamic()
            .setTranslation(...b.p)
            .setLinvel(...b.v)
            .setAngvel({ x: b.w[0], y: b.w[1], z: b.w[2] })
            .setLinearDamping(0).setAngularDamping(0)
            .setCanSleep(sleep));
        const shape = b.sphere ? RAPIER.ColliderDesc.ball(sphereRadius) : RAPIER.ColliderDesc.cuboid(half, half, half);
        world.createCollider(material(shape).setMass(mass), body);
        return body;
    });

    return {
        step: () => world.step(),
        finals: () => handles.map((body) => {
            const v = body.linvel();
            return { z: body.translation().z, speed: Math.hypot(v.x, v.y, v.z) };
        }),
        close: () => world.free(),
    };
}
