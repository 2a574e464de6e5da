// Types of the Prallwerk engine for JavaScript (prallwerk.js).
//
// Units: metres, kilograms, seconds, radians; z points up and the ground is
// z = 0. Every refusal is an Error whose message is the engine's own
// ("body 3: radius = -1: must be above 0"), and a refused call changes
// nothing.

/** Where the engine's .wasm comes from: its bytes, its address, or a fetch's response. */
export type WasmSource = Uint8Array | ArrayBuffer | URL | string | Response;

export type Vec3 = [number, number, number] | Float64Array;

/** The rules a world runs by (docs/rules.md): the demonstration's, or momentum, friction and fixed bodies. */
export type Rules = 'classic' | 'physical';

/**
 * A body as you describe it. Give a sphere a radius and a box its size; at
 * most one of mass, density and material (none: water's density, 1000
 * kg/m³). A restitution or friction given wins over the material's.
 */
export interface BodyDef {
  kind: 'sphere' | 'box';
  /** A sphere's radius, m, above 0. */
  radius?: number;
  /** A box's edges [length, width, height] along its own x, y, z, m, each above 0. */
  size?: Vec3;
  /** kg, above 0. */
  mass?: number;
  /** kg/m³, above 0: the mass is density × volume. */
  density?: number;
  /** 'Gummi', 'Alu', 'Blei', 'Platin', 'Kork' or 'Holz': its density, restitution and friction. */
  material?: string;
  /** Bounce factor on the ground, within [0, 1]; default 1. */
  restitution?: number;
  /** Coulomb coefficient, at least 0 (the physical rules); default 0.5. */
  friction?: number;
  /** Never moves (the physical rules only). */
  fixed?: boolean;
  /** Centre, m; default [0, 0, 0]. */
  position?: Vec3;
  /** m/s; default [0, 0, 0]. */
  velocity?: Vec3;
  /** The angles' rates (classic) or the angular velocity in world axes (physical), rad/s. */
  spin?: Vec3;
  /** About x, then y, then z, rad. */
  angles?: Vec3;
}

/** A scene as scene files hold it (docs/engine.md, "Scene files"). */
export interface Scene {
  name?: string;
  watch?: string;
  /** m/s²; default defaultGravity. */
  gravity?: Vec3;
  /** Default 'classic'. */
  rules?: Rules;
  bodies: BodyDef[];
}

/** A scene as parseScene reads it: every field of every body given, mass or density. */
export interface ParsedScene extends Scene {
  name: string;
  watch: string;
  gravity: [number, number, number];
  rules: Rules;
}

/** One body of an impact, or the ground (index -1, velocities zero). */
export interface ImpactBody {
  index: number;
  /** m/s: what free flight gives it at the impact's instant. */
  velocityBefore: [number, number, number];
  /** m/s: what the response left it. */
  velocityAfter: [number, number, number];
}

/** What World#onImpact's listener is told of each impact (the engine's ImpactRecord). */
export interface Impact {
  /** A bounce off the floor, a landing on it (the rule against stalls), or two bodies. */
  kind: 'ground' | 'landing' | 'pair';
  /** The world's time at the impact, s. */
  time: number;
  /** s after the step's previous event (single precision). */
  span: number;
  /** s since the call of step or advance began. */
  stepTime: number;
  /** Contact vector for a: the ground's [0, 0, 1], or the pair's. */
  normalA: [number, number, number];
  /** Contact vector for b: zero for the ground. */
  normalB: [number, number, number];
  /** The body on its floor, or the pair's lower index. */
  a: ImpactBody;
  /** The ground (index -1) or the pair's other body. */
  b: ImpactBody;
}

export interface WorldOptions {
  /** m/s²; default defaultGravity. Not with scene. */
  gravity?: Vec3;
  /** Default 'classic'. Not with scene. */
  rules?: Rules;
  /** A scene (parseScene's or your own): the world of its bodies, gravity and rules. */
  scene?: Scene;
}

export interface LoadOptions {
  /** The engine's .wasm; default prallwerk.wasm next to the module (new URL('./prallwerk.wasm', import.meta.url)). */
  wasm?: WasmSource;
}

/** The program's gravity: [0, 0, -9.8100004196167], -9.81 in single precision. */
export const defaultGravity: readonly [number, number, number];

/** Loads and compiles the engine, once for each source of its .wasm (a URL's text names it). */
export function loadEngine(options?: LoadOptions): Promise<Engine>;

/** Engine#createWorld on the engine loadEngine(options) loads. */
export function createWorld(options?: WorldOptions & LoadOptions): Promise<World>;

/** Engine#parseScene on the default engine. */
export function parseScene(text: string, fileName?: string): Promise<ParsedScene>;

/** Engine#toSceneJSON on the default engine. */
export function toSceneJSON(scene: Scene): Promise<string>;

/** One compiled engine: its worlds share its memory. */
export class Engine {
  private constructor();

  /**
   * A world of no bodies under the gravity by the rules, or the world of a
   * scene (the engine's buildWorld: every body checked, the first bad one
   * refuses the scene).
   * @example const world = engine.createWorld({gravity: [0, 0, -9.81], rules: 'physical'});
   */
  createWorld(options?: WorldOptions): World;

  /**
   * The scene file's text as the engine's reader reads it, or an Error with
   * the reader's one-line message ("scene.json: /bodies/0/radius: must be
   * above 0 (it is -1)"); fileName (default "scene.json") names the text there.
   */
  parseScene(text: string, fileName?: string): ParsedScene;

  /**
   * The scene file the engine writes (writeScene): every number in its fewest
   * digits that read back to the same value, the oldest version that holds it.
   */
  toSceneJSON(scene: Scene): string;

  /** x as the trace tool writes it: printf's %.17g, the same digits on every platform. */
  formatNumber(x: number): string;
}

/**
 * A world of bodies above the ground, stepped by events as the native engine
 * steps it, to the same bits.
 *
 * The state views are Float64Arrays over the engine's memory, in index
 * order, written after every call that changes the bodies. A view is the
 * same object from step to step while the bodies' number and the memory
 * stay; read the getter again after adding or removing a body, since a
 * grown memory detaches older views (they then have length 0).
 */
export class World {
  private constructor();

  /** x, y, z of each body's centre, m. */
  readonly positions: Float64Array;
  /** w, x, y, z of each body's unit quaternion; under the classic rules, the quaternion of its angles. */
  readonly orientations: Float64Array;
  /** x, y, z of each body's velocity, m/s. */
  readonly velocities: Float64Array;
  /** Each body's spin: the angles' rates (classic) or its angular velocity in world axes (physical), rad/s. */
  readonly spins: Float64Array;
  /** Each body's angles about x, then y, then z, rad, within [-2π, 2π]. */
  readonly angles: Float64Array;
  /** The number of bodies. */
  readonly bodyCount: number;
  /** Simulated seconds since the world was made. */
  readonly time: number;
  /** The rules the world runs by. */
  readonly rules: Rules;

  /**
   * Checks the body (the engine's addBody; a fixed body needs the physical
   * rules), appends it and returns its index.
   * @example world.addBody({kind: 'sphere', radius: 0.5, material: 'Gummi', position: [0, 0, 4]})
   */
  addBody(def: BodyDef): number;

  /** Removes body index; the later bodies move down by one. */
  removeBody(index: number): void;

  /**
   * One engine step of dt seconds (a dt above 0.1 s is taken in
   * 1 + floor(10 dt) equal parts, as the engine's step takes it).
   * Refused: a dt that is not finite, not above 0 in single precision, or above 1e8 s.
   */
  step(dt: number): void;

  /**
   * A frame of that many seconds as the program runs one (the engine's
   * advanceWorld): the span in single precision, 1 + floor(10 s) steps of s / n.
   */
  advance(seconds: number): void;

  /**
   * Tells the listener of every impact of each later step or advance, in the
   * order of their instants, once the call has returned (the bodies are
   * then at the call's end, the impact's velocities in the record). Returns
   * the function that stops it.
   */
  onImpact(listener: (impact: Impact) => void): () => void;

  /** The world's whole state as bytes (World::saveState). */
  saveState(): Uint8Array;

  /**
   * Puts back the state the bytes hold, bit for bit (World::restoreState):
   * the steps after it are those after the save. Bytes the engine refuses
   * throw its message and change nothing.
   */
  restoreState(bytes: Uint8Array): void;

  /** A 64-bit hash of the world's state (World::stateHash). */
  stateHash(): bigint;

  /** Frees the world in the engine's memory; any later call throws. */
  dispose(): void;
}
