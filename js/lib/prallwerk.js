// The Prallwerk engine for JavaScript: the engine's C functions
// (js/src/) made into worlds, bodies and scenes in JavaScript's own terms.
// Every check is the engine's; a refused call throws an Error with the
// engine's message and leaves everything as it was.

import createCore from './prallwerk-core.js';

/** The program's gravity: -9.81 m/s² along -z in single precision. */
export const defaultGravity = Object.freeze([0, 0, Math.fround(-9.81)]);

// The numbered fields of js/src/glue.cpp's pw_def_number and pw_def_vector.
const numberFields = { radius: 0, length: 1, width: 2, height: 3, mass: 4, density: 5, restitution: 6, friction: 7, fixed: 8 };
const vectorFields = { position: 0, velocity: 1, spin: 2, angles: 3 };
const bodyKeys = ['kind', 'radius', 'size', 'mass', 'density', 'material', 'restitution', 'friction', 'fixed',
                  'position', 'velocity', 'spin', 'angles'];
const kinds = { sphere: 1, box: 2 };
const impactKinds = ['ground', 'landing', 'pair'];
// The packed arrays of js/src/world_api.cpp's pw_world_view, with their
// numbers per body.
const views = [['positions', 3], ['orientations', 4], ['velocities', 3], ['spins', 3], ['angles', 3]];
const impactNumbers = 24;
const sceneBodyNumbers = 22;

// One compiled engine per source of its .wasm: worlds of one engine share
// its memory.
const engines = new Map();
const decoder = new TextDecoder();
const encoder = new TextEncoder();

async function wasmBytes(source) {
  if (source instanceof Uint8Array) return source;
  if (source instanceof ArrayBuffer || ArrayBuffer.isView(source)) return new Uint8Array(source.buffer ?? source);
  if (typeof Response !== 'undefined' && source instanceof Response) return new Uint8Array(await source.arrayBuffer());
  const url = new URL(source);
  // Node's fetch reads no file: addresses.
  if (url.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return readFile(url);
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`prallwerk: cannot load ${url}: ${response.status} ${response.statusText}`);
  return new Uint8Array(await response.arrayBuffer());
}

/**
 * Loads the engine (once per source of its .wasm) and resolves to an Engine.
 * @param {{wasm?: Uint8Array|ArrayBuffer|URL|string|Response}} [options]
 */
export function loadEngine(options = {}) {
  const source = options.wasm ?? new URL('./prallwerk.wasm', import.meta.url).href;
  // A URL's text names it; bytes and responses are each their own engine.
  const key = source instanceof URL ? source.href : source;
  if (!engines.has(key)) {
    const loading = wasmBytes(source).then((bytes) => new Promise((resolve, reject) => {
      createCore({
        instantiateWasm(imports, receive) {
          WebAssembly.instantiate(bytes, imports).then((r) => receive(r.instance, r.module), reject);
          return {};
        },
      }).then((core) => resolve(new Engine(core)), reject);
    }));
    engines.set(key, loading);
    loading.catch(() => engines.delete(key));
  }
  return engines.get(key);
}

/** A new World (see Engine#createWorld), on the engine loadEngine(options) loads. */
export async function createWorld(options = {}) {
  return (await loadEngine(options)).createWorld(options);
}

/** The scene file text read by the engine's reader (see Engine#parseScene). */
export async function parseScene(text, fileName) {
  return (await loadEngine()).parseScene(text, fileName);
}

/** The scene as the engine writes scene files (see Engine#toSceneJSON). */
export async function toSceneJSON(scene) {
  return (await loadEngine()).toSceneJSON(scene);
}

function vector3(value, what) {
  if (!Array.isArray(value) && !ArrayBuffer.isView(value) || value.length !== 3 ||
      ![0, 1, 2].every((i) => typeof value[i] === 'number')) {
    throw new TypeError(`${what} must be an array of 3 numbers`);
  }
  return value;
}

function number(value, what) {
  if (typeof value !== 'number') throw new TypeError(`${what} must be a number`);
  return value;
}

export class Engine {
  #core;
  constructor(core) {
    this.#core = core;
  }

  /** @internal */
  get core() {
    return this.#core;
  }

  /**
   * A world of no bodies under options.gravity by options.rules, or the world
   * of options.scene (its gravity and rules; the engine's buildWorld).
   */
  createWorld(options = {}) {
    const core = this.#core;
    let handle;
    if (options.scene !== undefined) {
      const scene = this.#sceneIn(options.scene);
      try {
        handle = core._pw_world_from_scene(scene);
      } finally {
        core._pw_scene_destroy(scene);
      }
    } else {
      const g = vector3(options.gravity ?? defaultGravity, 'gravity');
      handle = core._pw_world_create(g[0], g[1], g[2], rulesCode(options.rules));
    }
    if (!handle) this.fail();
    return new World(this, handle);
  }

  /**
   * The scene file's text read by the engine's own reader: a Scene, or an
   * Error with the reader's message ("scene.json: /bodies/0/radius: must be
   * above 0 (it is -1)"), fileName (default "scene.json") naming the text.
   */
  parseScene(text, fileName = 'scene.json') {
    const core = this.#core;
    const scene = this.#withStrings([String(text), String(fileName)], (t, f) => core._pw_scene_parse(t, f));
    if (!scene) this.fail();
    try {
      return this.#sceneOut(scene);
    } finally {
      core._pw_scene_destroy(scene);
    }
  }

  /** The scene file the engine writes for the scene (writeScene): JSON text. */
  toSceneJSON(scene) {
    const core = this.#core;
    const described = this.#sceneIn(scene);
    try {
      return this.string(core._pw_scene_write(described));
    } finally {
      core._pw_scene_destroy(described);
    }
  }

  /** x as the trace tool writes it: printf's %.17g, the same digits everywhere. */
  formatNumber(x) {
    // The digits are ASCII: no decoder needed, which a trace's million
    // numbers feel.
    const bytes = this.#core.HEAPU8;
    let at = this.#core._pw_significant17(number(x, 'x'));
    let digits = '';
    while (bytes[at] !== 0) digits += String.fromCharCode(bytes[at++]);
    return digits;
  }

  /** @internal A Float64Array of count numbers at the address. */
  numbersAt(address, count) {
    return new Float64Array(this.#core.HEAPF64.buffer, address, count);
  }

  /** @internal The zero-ended UTF-8 text at the address. */
  string(address) {
    const bytes = this.#core.HEAPU8;
    let end = address;
    while (bytes[end] !== 0) ++end;
    return decoder.decode(bytes.subarray(address, end));
  }

  /** @internal Throws the engine's last refusal. */
  fail() {
    throw new Error(this.string(this.#core._pw_error()));
  }

  /** @internal Calls f with the texts copied into the engine's memory. */
  #withStrings(texts, f) {
    const core = this.#core;
    const addresses = texts.map((t) => {
      const bytes = encoder.encode(t);
      const address = core._malloc(bytes.length + 1);
      core.HEAPU8.set(bytes, address);
      core.HEAPU8[address + bytes.length] = 0;
      return address;
    });
    try {
      return f(...addresses);
    } finally {
      addresses.forEach((a) => core._free(a));
    }
  }

  /** @internal Stages one body definition (pw_def_*); what only JavaScript can get wrong throws here. */
  stageBody(def, index) {
    const core = this.#core;
    const what = (field) => `body ${index}: ${field}`;
    if (def === null || typeof def !== 'object') throw new TypeError(`body ${index} must be an object`);
    for (const key of Object.keys(def)) {
      if (!bodyKeys.includes(key)) {
        throw new Error(`${what(key)}: unknown field (a body has ${bodyKeys.join(', ')})`);
      }
    }
    const kind = kinds[def.kind];
    if (kind === undefined) throw new Error(`${what('kind')}: must be "sphere" or "box"`);
    core._pw_def_begin(kind);
    // A mass replaces water's density; a density or a material sets its own.
    if (def.mass !== undefined) core._pw_def_number(numberFields.density, 0);
    if (def.material !== undefined) {
      const known = this.#withStrings([String(def.material)], (name) => core._pw_def_material(name));
      if (!known) throw new Error(`${what('material')}: must be one of Gummi, Alu, Blei, Platin, Kork, Holz`);
    }
    if (kind === kinds.sphere) {
      if (def.size !== undefined) throw new Error(`${what('size')}: a sphere has a radius`);
      core._pw_def_number(numberFields.radius, number(def.radius ?? 0, what('radius')));
    } else {
      if (def.radius !== undefined) throw new Error(`${what('radius')}: a box has a size`);
      const size = vector3(def.size ?? [0, 0, 0], what('size'));
      ['length', 'width', 'height'].forEach((f, i) => core._pw_def_number(numberFields[f], size[i]));
    }
    for (const f of ['mass', 'density', 'restitution', 'friction']) {
      if (def[f] !== undefined) core._pw_def_number(numberFields[f], number(def[f], what(f)));
    }
    if (def.fixed !== undefined) {
      if (typeof def.fixed !== 'boolean') throw new TypeError(`${what('fixed')} must be true or false`);
      core._pw_def_number(numberFields.fixed, def.fixed ? 1 : 0);
    }
    for (const [f, code] of Object.entries(vectorFields)) {
      if (def[f] !== undefined) {
        const v = vector3(def[f], what(f));
        core._pw_def_vector(code, v[0], v[1], v[2]);
      }
    }
  }

  // A Scene object as the engine's SceneDescription; the caller destroys it.
  #sceneIn(scene) {
    const core = this.#core;
    if (scene === null || typeof scene !== 'object' || !Array.isArray(scene.bodies)) {
      throw new TypeError('a scene must be an object with an array of bodies');
    }
    const g = vector3(scene.gravity ?? defaultGravity, 'gravity');
    const physical = rulesCode(scene.rules);
    const described = this.#withStrings([String(scene.name ?? ''), String(scene.watch ?? '')],
      (name, watch) => core._pw_scene_create(g[0], g[1], g[2], physical, name, watch));
    try {
      scene.bodies.forEach((body, i) => {
        this.stageBody(body, i);
        core._pw_scene_add_body(described);
      });
    } catch (error) {
      core._pw_scene_destroy(described);
      throw error;
    }
    return described;
  }

  #sceneOut(described) {
    const core = this.#core;
    const header = this.numbersAt(core._pw_scene_header(described), 4);
    const scene = {
      name: this.string(core._pw_scene_name(described)),
      watch: this.string(core._pw_scene_watch(described)),
      gravity: [header[0], header[1], header[2]],
      rules: header[3] ? 'physical' : 'classic',
      bodies: [],
    };
    for (let i = 0, n = core._pw_scene_body_count(described); i < n; ++i) {
      const d = Array.from(this.numbersAt(core._pw_scene_body(described, i), sceneBodyNumbers));
      const body = d[0] === kinds.box ? { kind: 'box', size: [d[2], d[3], d[4]] } : { kind: 'sphere', radius: d[1] };
      if (d[5] > 0) body.mass = d[5];
      else body.density = d[6];
      Object.assign(body, {
        restitution: d[7], friction: d[8], fixed: d[9] !== 0,
        position: d.slice(10, 13), velocity: d.slice(13, 16), spin: d.slice(16, 19), angles: d.slice(19, 22),
      });
      scene.bodies.push(body);
    }
    return scene;
  }
}

function rulesCode(rules = 'classic') {
  if (rules !== 'classic' && rules !== 'physical') {
    throw new Error(`rules = ${JSON.stringify(rules)}: must be "classic" or "physical"`);
  }
  return rules === 'physical' ? 1 : 0;
}

export class World {
  #engine;
  #core;
  #handle;
  #views = [];     // the last view of each packed array, made again when stale
  #listeners = new Set();

  /** @internal Made by Engine#createWorld. */
  constructor(engine, handle) {
    this.#engine = engine;
    this.#core = engine.core;
    this.#handle = handle;
  }

  #live() {
    if (!this.#handle) throw new Error('prallwerk: the world was disposed');
    return this.#handle;
  }

  // A view of a packed array: the same object while its memory stays, a new
  // one once the engine's memory grew (which detaches the old buffer) or the
  // array moved (a body added or removed).
  #view(which) {
    const handle = this.#live();
    const [, width] = views[which];
    const address = this.#core._pw_world_view(handle, which);
    const length = width * this.bodyCount;
    const last = this.#views[which];
    if (last && last.buffer === this.#core.HEAPF64.buffer && last.byteOffset === address && last.length === length) {
      return last;
    }
    return (this.#views[which] = this.#engine.numbersAt(address, length));
  }

  /** Centres, m: x, y, z of each body in index order. */
  get positions() { return this.#view(0); }
  /** Unit quaternions, w, x, y, z of each body (classic rules: from its angles). */
  get orientations() { return this.#view(1); }
  /** Velocities, m/s: x, y, z of each body. */
  get velocities() { return this.#view(2); }
  /** Spins: the angles' rates (classic rules) or the angular velocity in world axes (physical), rad/s. */
  get spins() { return this.#view(3); }
  /** Angles about x, then y, then z, rad, within [-2π, 2π]. */
  get angles() { return this.#view(4); }

  /** The number of bodies. */
  get bodyCount() { return this.#core._pw_world_body_count(this.#live()); }
  /** Simulated seconds since the world was made. */
  get time() { return this.#core._pw_world_time(this.#live()); }
  /** 'classic' or 'physical'. */
  get rules() { return this.#core._pw_world_physical(this.#live()) ? 'physical' : 'classic'; }

  /** Adds a body (the engine's addBody checks it) and returns its index. */
  addBody(def) {
    const handle = this.#live();
    this.#engine.stageBody(def, this.bodyCount);
    const index = this.#core._pw_world_add_body(handle);
    if (index < 0) this.#engine.fail();
    return index;
  }

  /** Removes body index; the later bodies move down by one. */
  removeBody(index) {
    if (!this.#core._pw_world_remove_body(this.#live(), number(index, 'index'))) this.#engine.fail();
  }

  /** One engine step of dt seconds (above 0.1 s: in 1 + floor(10 dt) equal parts). */
  step(dt) {
    if (!this.#core._pw_world_step(this.#live(), number(dt, 'dt'))) this.#engine.fail();
    this.#tell();
  }

  /** A frame of that many seconds as the program runs one: 1 + floor(10 s) steps of s / n. */
  advance(seconds) {
    if (!this.#core._pw_world_advance(this.#live(), number(seconds, 'seconds'))) this.#engine.fail();
    this.#tell();
  }

  /** Calls listener(impact) for each impact of every later step, in order; returns the unsubscribe function. */
  onImpact(listener) {
    if (typeof listener !== 'function') throw new TypeError('listener must be a function');
    const handle = this.#live();
    const entry = { listener };  // the same function twice is told twice
    this.#listeners.add(entry);
    this.#core._pw_world_listen(handle, 1);
    return () => {
      this.#listeners.delete(entry);
      if (this.#listeners.size === 0 && this.#handle) this.#core._pw_world_listen(this.#handle, 0);
    };
  }

  #tell() {
    if (this.#listeners.size === 0) return;
    const core = this.#core;
    const count = core._pw_world_impact_count(this.#handle);
    if (count === 0) return;
    const n = Array.from(this.#engine.numbersAt(core._pw_world_impacts(this.#handle), count * impactNumbers));
    const impacts = [];
    for (let k = 0; k < n.length; k += impactNumbers) {
      const v = (i) => n.slice(k + i, k + i + 3);
      impacts.push({
        kind: impactKinds[n[k]], time: n[k + 3], span: n[k + 4], stepTime: n[k + 5],
        normalA: v(6), normalB: v(9),
        a: { index: n[k + 1], velocityBefore: v(12), velocityAfter: v(15) },
        b: { index: n[k + 2], velocityBefore: v(18), velocityAfter: v(21) },
      });
    }
    const listeners = [...this.#listeners];
    for (const impact of impacts) for (const { listener } of listeners) listener(impact);
  }

  /** The world's whole state as bytes (World::saveState). */
  saveState() {
    const core = this.#core;
    const address = core._pw_world_save(this.#live());
    return core.HEAPU8.slice(address, address + core._pw_saved_size());
  }

  /** Puts back the state the bytes hold, bit for bit; bad bytes throw and change nothing. */
  restoreState(bytes) {
    const core = this.#core;
    const handle = this.#live();
    if (!(bytes instanceof Uint8Array)) throw new TypeError('restoreState takes a Uint8Array');
    const address = core._malloc(Math.max(bytes.length, 1));
    core.HEAPU8.set(bytes, address);
    try {
      if (!core._pw_world_restore(handle, address, bytes.length)) this.#engine.fail();
    } finally {
      core._free(address);
    }
  }

  /** A 64-bit hash of the state (World::stateHash). */
  stateHash() {
    const core = this.#core;
    const address = core._pw_world_hash(this.#live());
    return new BigUint64Array(core.HEAPU8.buffer, address, 1)[0];
  }

  /** Frees the world's memory in the engine; the world cannot be used after. */
  dispose() {
    if (!this.#handle) return;
    this.#core._pw_world_destroy(this.#handle);
    this.#handle = 0;
    this.#listeners.clear();
    this.#views = [];
  }
}
