// The package's world beyond the traces: refusals with the engine's own
// messages that change nothing, views that follow the steps and survive the
// memory's growth, impacts against their closed form, scene files written as
// the engine writes them, and snapshots that carry on bit for bit.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { loadEngine, createWorld, defaultGravity } from 'prallwerk';
import { trace } from './trace.js';

const engine = await loadEngine();
const files = process.env.PRALLWERK_SCENES;

// Everything a refused call could have changed.
function everything(world) {
  const views = ['positions', 'orientations', 'velocities', 'spins', 'angles'].map((v) => Array.from(world[v]));
  return { count: world.bodyCount, time: world.time, views, state: world.saveState() };
}

function twoBodyWorld(rules = 'classic') {
  const world = engine.createWorld({ rules });
  world.addBody({ kind: 'sphere', radius: 0.5, material: 'Gummi', position: [0, 0, 4], velocity: [1, 0, 0] });
  world.addBody({ kind: 'box', size: [1, 2, 0.5], mass: 2, position: [3, 0, 2], angles: [0.1, 0.2, 0.3] });
  world.advance(0.25);
  return world;
}

const refusals = [
  ['a box edge of 0', (w) => w.addBody({ kind: 'box', size: [1, 0, 1] }), 'body 2: width = 0: must be above 0'],
  ['a mass and a density', (w) => w.addBody({ kind: 'sphere', radius: 1, mass: 2, density: 3 }),
   'body 2: density = 3: give a mass or a density, not both'],
  ['a material and a mass', (w) => w.addBody({ kind: 'sphere', radius: 1, material: 'Gummi', mass: 3 }),
   'body 2: density = 1000: give a mass or a density, not both'],
  ['a negative radius', (w) => w.addBody({ kind: 'sphere', radius: -1 }), 'body 2: radius = -1: must be above 0'],
  ['a restitution above 1', (w) => w.addBody({ kind: 'sphere', radius: 1, restitution: 1.5 }),
   'body 2: restitution = 1.5: must be within [0, 1]'],
  ['a fixed body under the classic rules', (w) => w.addBody({ kind: 'sphere', radius: 1, fixed: true }),
   'body 2: fixed = 1: needs the physical rules'],
  ['a negative friction', (w) => w.addBody({ kind: 'sphere', radius: 1, friction: -0.5 }),
   'body 2: friction = -0.5: must be at least 0'],
  ['a position that is no number', (w) => w.addBody({ kind: 'sphere', radius: 1, position: [0, NaN, 1] }),
   'body 2: position.y = nan: must be a finite number'],
  ['an unknown material', (w) => w.addBody({ kind: 'sphere', radius: 1, material: 'Gold' }),
   'body 2: material: must be one of Gummi, Alu, Blei, Platin, Kork, Holz'],
  ['a misspelt field', (w) => w.addBody({ kind: 'sphere', radios: 1 }), /^body 2: radios: unknown field/],
  ['a middle coordinate that is text', (w) => w.addBody({ kind: 'sphere', radius: 1, position: [0, '1', 2] }),
   'body 2: position must be an array of 3 numbers'],
  ['a position that is an object with a length', (w) => w.addBody({
    kind: 'sphere', radius: 1, position: { 0: 0, 1: 0, 2: 1, length: 3 } }),
   'body 2: position must be an array of 3 numbers'],
  ['a fixed that is no truth value', (w) => w.addBody({ kind: 'sphere', radius: 1, fixed: 1 }),
   'body 2: fixed must be true or false'],
  ['a box given a radius', (w) => w.addBody({ kind: 'box', size: [1, 1, 1], radius: 1 }),
   'body 2: radius: a box has a size'],
  ['a sphere given a size', (w) => w.addBody({ kind: 'sphere', radius: 1, size: [1, 1, 1] }),
   'body 2: size: a sphere has a radius'],
  ['an unknown kind', (w) => w.addBody({ kind: 'cone', radius: 1 }), 'body 2: kind: must be "sphere" or "box"'],
  ['a removal past the bodies', (w) => w.removeBody(2), 'index = 2: must name a body: 0 to 1'],
  ['a removal before them', (w) => w.removeBody(-1), 'index = -1: must name a body: 0 to 1'],
  ['a step of 0', (w) => w.step(0), 'span = 0: must be above 0 (in single precision)'],
  ['a step below a float', (w) => w.step(1e-50), 'span = 1e-50: must be above 0 (in single precision)'],
  ['an endless step', (w) => w.step(Infinity), 'span = inf: must be a finite number'],
  ['a step too long', (w) => w.step(2e8), 'span = 200000000: must be at most 1e8 s'],
  ['a negative frame', (w) => w.advance(-1), 'span = -1: must be above 0 (in single precision)'],
  ['a frame too long', (w) => w.advance(1e9), 'span = 1000000000: must be at most 1e8 s'],
  ['a state of no bytes', (w) => w.restoreState(new Uint8Array(0)),
   'snapshot: truncated at byte 0 of 24 (the header)'],
  ['a state of garbage', (w) => w.restoreState(new Uint8Array(64).fill(7)),
   'snapshot: not a snapshot: its first bytes are not "PRWS"'],
  ['a state cut short', (w) => w.restoreState(w.saveState().subarray(0, 40)),
   /^snapshot: truncated at byte 40 of \d+$/],
  ['a state with a byte changed at its head', (w) => {
    const bytes = w.saveState();
    bytes[0] ^= 1;
    w.restoreState(bytes);
  }, 'snapshot: not a snapshot: its first bytes are not "PRWS"'],
  ['a state of a world of other bodies', (w) => {
    const other = engine.createWorld({ rules: w.rules });
    other.addBody({ kind: 'sphere', radius: 0.5, position: [0, 0, 4] });
    w.restoreState(other.saveState());
  }, 'snapshot: 1 bodies in the snapshot and 2 here'],
];

for (const rules of ['classic', 'physical']) {
  for (const [what, call, message] of refusals) {
    if (rules === 'physical' && what.includes('classic')) continue;
    test(`${rules}: ${what} is refused with the engine's message and changes nothing`, () => {
      const world = twoBodyWorld(rules);
      const before = everything(world);
      assert.throws(() => call(world), { message });
      assert.deepEqual(everything(world), before);
      world.advance(0.5);  // and the world steps on as one never asked
      const twin = twoBodyWorld(rules);
      twin.advance(0.5);
      assert.deepEqual(everything(world), everything(twin));
    });
  }
}

test('worlds and scenes refuse what the engine refuses', async () => {
  await assert.rejects(createWorld({ gravity: [0, 0, NaN] }), { message: 'gravity = nan: must be a finite number' });
  await assert.rejects(createWorld({ rules: 'exact' }), { message: 'rules = "exact": must be "classic" or "physical"' });
  const texts = [
    ['{"format": "prallwerk-scene", "version": 1,}',
     'a.json: line 1, column 44: not JSON: syntax error while parsing object key - unexpected \'}\'; expected string literal'],
    ['{"format":"prallwerk-scene","version":2,"bodies":[{"kind":"sphere","radius":1,"fixed":true}]}',
     'a.json: /bodies/0/fixed: the classic rules have no fixed bodies (give "rules": "physical")'],
    ['{"format":"prallwerk-scene","version":1,"bodies":[{"kind":"sphere","radius":-1}]}',
     'a.json: /bodies/0/radius: must be above 0 (it is -1)'],
  ];
  for (const [text, message] of texts) assert.throws(() => engine.parseScene(text, 'a.json'), { message });
  const fixedBall = { kind: 'sphere', radius: 1, mass: 1, fixed: true };
  assert.throws(() => engine.createWorld({ scene: { rules: 'classic', bodies: [fixedBall] } }),
                { message: 'body 0: fixed = 1: needs the physical rules' });
  assert.equal(engine.createWorld({ scene: { rules: 'physical', bodies: [fixedBall] } }).rules, 'physical');
});

test('the engine writes a parsed scene file back to its own bytes', () => {
  for (const file of ['scene0.json', 'scene1.json', 'scene2.json', 'scene3.json', 'drop100.json']) {
    const text = readFileSync(join(files, file), 'utf8');
    const scene = engine.parseScene(text, file);
    assert.equal(engine.toSceneJSON(scene), text, file);
    assert.deepEqual(engine.parseScene(engine.toSceneJSON(scene)), scene, file);
  }
});

test('a view is the state of the last step, the same object until the memory grows', () => {
  const world = engine.createWorld();
  world.addBody({ kind: 'sphere', radius: 0.5, position: [0, 0, 100], velocity: [2, 0, 0] });
  const positions = world.positions;
  const velocities = world.velocities;
  for (let i = 1; i <= 10; ++i) {
    world.step(0.1);
    assert.equal(world.positions, positions);
    // Free flight under the program's gravity: v = g t, and x = 2 t.
    assert.ok(Math.abs(velocities[2] - defaultGravity[2] * world.time) < 1e-9, `v after ${world.time} s`);
    assert.ok(Math.abs(positions[0] - 2 * world.time) < 1e-9);
  }
  assert.ok(Math.abs(world.time - 1) < 1e-6);

  // Enough bodies to grow the memory, which detaches every older view.
  const n = 3000;
  for (let i = 1; i < n; ++i) world.addBody({ kind: 'box', size: [1, 1, 1], position: [3 * i, i % 7, 50] });
  assert.equal(positions.length, 0, 'the memory did not grow: the test proves nothing');
  const grown = world.positions;
  assert.equal(grown.length, 3 * n);
  for (const i of [1, 777, n - 1]) assert.deepEqual(Array.from(grown.subarray(3 * i, 3 * i + 3)), [3 * i, i % 7, 50]);
  world.removeBody(0);
  assert.equal(world.positions.length, 3 * (n - 1));
  assert.deepEqual(Array.from(world.positions.subarray(0, 3)), [3, 1, 50]);
  world.dispose();
  assert.throws(() => world.positions, { message: 'prallwerk: the world was disposed' });
});

test('orientations are the quaternions of the angles under either rules', () => {
  for (const rules of ['classic', 'physical']) {
    const world = engine.createWorld({ rules });
    world.addBody({ kind: 'box', size: [1, 1, 1], position: [0, 0, 5], angles: [0, 0, Math.PI / 3] });
    world.addBody({ kind: 'box', size: [1, 1, 1], position: [5, 0, 5], angles: [Math.PI / 2, 0, 0] });
    const q = Array.from(world.orientations);
    const expected = [Math.cos(Math.PI / 6), 0, 0, Math.sin(Math.PI / 6), Math.SQRT1_2, Math.SQRT1_2, 0, 0];
    q.forEach((x, i) => assert.ok(Math.abs(x - expected[i]) < 1e-15, `${rules}: ${q} against ${expected}`));
  }
});

test('a dropped ball is told to its listener at the closed form\'s instant and speed', () => {
  const world = engine.createWorld();
  const h = 4.5;
  world.addBody({ kind: 'sphere', radius: 0.5, material: 'Alu', position: [0, 0, h + 0.5], velocity: [0, 0, -0.01] });
  const told = [];
  const stop = world.onImpact((impact) => told.push(impact));
  const g = -defaultGravity[2];
  // v0 = -0.01: the time to fall h and the speed at the ground.
  const t = (-0.01 + Math.sqrt(0.0001 + 2 * g * h)) / g;
  const v = Math.sqrt(0.0001 + 2 * g * h);
  while (told.length === 0) world.advance(1 / 60);
  const [first] = told;
  assert.equal(first.kind, 'ground');
  assert.deepEqual([first.a.index, first.b.index], [0, -1]);
  // The steps' velocity comes before their move (semi-implicit Euler): the
  // ball lands early by less than a frame, a frame's g dt faster at most.
  const dt = 1 / 60;
  assert.ok(first.time < t && first.time > t - dt, `${first.time} against ${t}`);
  const before = -first.a.velocityBefore[2];
  assert.ok(before < v + g * dt && before > v - g * dt, `${before} against ${v}`);
  const after = first.a.velocityAfter[2];
  assert.ok(after > 0 && after < before, `it bounces up, slower: ${after}`);
  stop();
  const heard = told.length;
  for (let i = 0; i < 120; ++i) world.advance(1 / 60);
  assert.equal(told.length, heard, 'told after the unsubscribe');
});

test('a snapshot carries on bit for bit, in its own world and in another', () => {
  const scene = engine.parseScene(readFileSync(join(files, 'physical_mixed_100.json'), 'utf8'));
  const kinds = scene.bodies.map((b) => (b.kind === 'box' ? 2 : 1));
  const world = engine.createWorld({ scene });
  for (let i = 0; i < 90; ++i) world.advance(1 / 60);
  const saved = world.saveState();
  const hash = world.stateHash();
  const onward = trace(engine, world, kinds, { frames: 120, frameMs: 16 });
  assert.notEqual(world.stateHash(), hash);
  world.restoreState(saved);
  assert.equal(world.stateHash(), hash);
  assert.equal(trace(engine, world, kinds, { frames: 120, frameMs: 16 }), onward);
  // Another world of the same bodies, made anew: the snapshot is its state.
  const other = engine.createWorld({ scene });
  other.restoreState(saved);
  assert.equal(other.stateHash(), hash);
  assert.equal(trace(engine, other, kinds, { frames: 120, frameMs: 16 }), onward);
});

test('a body gives a mass, a density or a material, or is of water', () => {
  const rows = [
    [{}, { density: 1000 }],
    [{ mass: 2 }, { mass: 2 }],
    [{ density: 500 }, { density: 500 }],
    [{ material: 'Kork', position: new Float64Array([1, 2, 3]) }, { density: 200, position: [1, 2, 3] }],
  ];
  for (const [given, expected] of rows) {
    const body = { kind: 'sphere', radius: 1, ...given };
    const [read] = engine.parseScene(engine.toSceneJSON({ bodies: [body] })).bodies;
    for (const [field, value] of Object.entries(expected)) assert.deepEqual(read[field], value, JSON.stringify(given));
    assert.equal('mass' in read, 'mass' in expected, JSON.stringify(given));
  }
});

test('a scene without an array of bodies is refused', async () => {
  const message = 'a scene must be an object with an array of bodies';
  for (const scene of [null, 7, {}, { gravity: [0, 0, -1] }, { bodies: { length: 0 } }]) {
    assert.throws(() => engine.createWorld({ scene }), { name: 'TypeError', message }, JSON.stringify(scene));
    assert.throws(() => engine.toSceneJSON(scene), { name: 'TypeError', message }, JSON.stringify(scene));
  }
  await assert.rejects(createWorld({ scene: {} }), { name: 'TypeError', message });
});

// Every call gives back what it took from the engine's heap, whether it
// succeeds or is refused half way (a scene's third body is bad).
test('no call leaves anything behind on the engine\'s heap', () => {
  const core = engine.core;
  const text = readFileSync(join(files, 'physical_pyramid.json'), 'utf8');
  const good = engine.parseScene(text);
  // Refused by the module as it stages the third body, and by the engine.
  const bad = { ...good, bodies: [good.bodies[0], good.bodies[1], { kind: 'sphere', radios: 1 }] };
  const wrong = { ...good, bodies: [good.bodies[0], good.bodies[1], { kind: 'sphere', radius: -1 }] };
  const calls = [
    ['parseScene', () => engine.parseScene(text)],
    ['a refused parseScene', () => assert.throws(() => engine.parseScene('{"format": 1}'))],
    ['toSceneJSON', () => engine.toSceneJSON(good)],
    ['a refused toSceneJSON', () => assert.throws(() => engine.toSceneJSON(bad))],
    ['a world of a scene', () => engine.createWorld({ scene: good }).dispose()],
    ['a refused world of a scene', () => assert.throws(() => engine.createWorld({ scene: bad }))],
    ['a world of a scene the engine refuses', () => assert.throws(() => engine.createWorld({ scene: wrong }))],
    ['a snapshot restored', () => {
      const world = engine.createWorld({ scene: good });
      world.advance(0.1);
      world.restoreState(world.saveState());
      assert.throws(() => world.restoreState(new Uint8Array(30)));
      world.dispose();
    }],
  ];
  // The heap counts whole chunks, and a chunk reused may be a few bytes
  // larger than the one freed: a leak shows as a growth with the calls.
  const times = 20;
  for (const [what, call] of calls) {
    call();  // the scratch buffers grow to what the call needs, once
    const before = core._pw_heap_in_use();
    for (let i = 0; i < times; ++i) call();
    const grown = core._pw_heap_in_use() - before;
    assert.ok(grown < 64, `${what}: ${grown} bytes more after ${times} calls`);
  }
});

test('an engine that failed to load is loaded again when asked again', async () => {
  const folder = mkdtempSync(join(tmpdir(), 'prallwerk-'));
  try {
    const url = pathToFileURL(join(folder, 'prallwerk.wasm'));
    await assert.rejects(loadEngine({ wasm: url }));
    copyFileSync(join(process.cwd(), 'node_modules', 'prallwerk', 'lib', 'prallwerk.wasm'), url);
    const loaded = await loadEngine({ wasm: url });
    assert.equal(loaded.formatNumber(0.1), '0.10000000000000001');
  } finally {
    rmSync(folder, { recursive: true });
  }
});
