// The peer scene in Jolt (jolt-physics, its single-threaded WebAssembly build), set up
// as the C++ peers set up Bullet as far as Jolt allows: restitution 1 on every body and
// the ground (Jolt takes the larger of two, 1 as Bullet's product), friction 0.25 on
// every body (Jolt takes the geometric mean, so 0.25 between any two, Bullet's 0.5 * 0.5),
// no bouncing below 0.2 m/s (Bullet's threshold; Jolt's default is 1 m/s), 10 velocity
// steps (Bullet's 10 iterations and Jolt's default) and its 2 position steps, no damping
// (Jolt's default is 0.05), sleeping only when asked, one collision step per step.
import initJolt from 'jolt-physics';
import { gravityZ, mass, restitution, sphereRadius, cubeEdge } from '../scene.mjs';

const combinedFriction = 0.25;
const restitutionThreshold = 0.2;  // m/s
const convexRadius = 0.05;         // Jolt's default rounding of a box's edges, m

// Object layers: the ground does not test itself.
const layerStatic = 0, layerMoving = 1, layerCount = 2;

export async function open(bodies, { dt, sleep }) {
    const Jolt = await initJolt();
    const settings = new Jolt.JoltSettings();
    const pairs = new Jolt.ObjectLayerPairFilterTable(layerCount);
    pairs.EnableCollision(layerStatic, layerMoving);
    pairs.EnableCollision(layerMoving, layerMoving);
    const broad = new Jolt.BroadPhaseLayerInterfaceTable(layerCount, layerCount);
    broad.MapObjectToBroadPhaseLayer(layerStatic, new Jolt.BroadPhaseLayer(layerStatic));
    broad.MapObjectToBroadPhaseLayer(layerMoving, new Jolt.BroadPhaseLayer(layerMoving));
    settings.mObjectLayerPairFilter = pairs;
    settings.mBroadPhaseLayerInterface = broad;
    settings.mObjectVsBroadPhaseLayerFilter = new Jolt.ObjectVsBroadPhaseLayerFilterTable(broad, layerCount, pairs, layerCount);
    const jolt = new Jolt.JoltInterface(settings);
    Jolt.destroy(settings);

    const system = jolt.GetPhysicsSystem();
    system.SetGravity(new Jolt.Vec3(0, 0, gravityZ));
    const physics = system.GetPhysicsSettings();
    physics.mMinVelocityForRestitution = restitutionThreshold;
    system.SetPhysicsSettings(physics);
    const bodyInterface = system.GetBodyInterface();
    const identity = new Jolt.Quat(0, 0, 0, 1);

    const add = (shape, p, motion, layer, setUp) => {
        const s = new Jolt.BodyCreationSettings(shape, new Jolt.RVec3(...p), identity, motion, layer);
        s.mRestitution = restitution;
        s.mFriction = combinedFriction;
        setUp(s);
        const body = bodyInterface.CreateBody(s);
        Jolt.destroy(s);
        bodyInterface.AddBody(body.GetID(), Jolt.EActivation_Activate);
        return body;
    };
    add(new Jolt.PlaneShape(new Jolt.Plane(new Jolt.Vec3(0, 0, 1), 0)), [0, 0, 0], Jolt.EMotionType_Static, layerStatic, () => {});
    const half = cubeEdge / 2;
    const sphere = new Jolt.SphereShape(sphereRadius);
    const cube = new Jolt.BoxShape(new Jolt.Vec3(half, half, half), convexRadius);
    const handles = bodies.map((b) => add(b.sphere ? sphere : cube, b.p, Jolt.EMotionType_Dynamic, layerMoving, (s) => {
        s.mOverrideMassProperties = Jolt.EOverrideMassProperties_CalculateInertia;
        s.mMassPropertiesOverride.mMass = mass;
        s.mLinearVelocity = new Jolt.Vec3(...b.v);
        s.mAngularVelocity = new Jolt.Vec3(...b.w);
        s.mLinearDamping = 0;
        s.mAngularDamping = 0;
        s.mAllowSleeping = sleep;
    }));

    return {
        step: () => jolt.Step(dt, 1),
        finals: () => handles.map((body) => ({ z: body.GetPosition().GetZ(), speed: body.GetLinearVelocity().Length() })),
        close: () => Jolt.destroy(jolt),
    };
}
