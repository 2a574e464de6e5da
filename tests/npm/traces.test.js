// The package's traces are the native trace tool's, byte for byte: the 20
// pinned runs (the default bodies and scenes 0 to 3, 60 s of 16 ms and
// 100 ms frames, states and impacts; read here from their scene files, as
// the engine's file traces are) and every shipped scene file for 600 frames
// of 16 ms, states and impacts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { loadEngine } from 'prallwerk';
import { trace } from './trace.js';

const nativeTrace = process.env.PRALLWERK_TRACE;
const files = process.env.PRALLWERK_SCENES;
const engine = await loadEngine();

const runs = [];
for (const events of [false, true]) {
  for (const scene of [-1, 0, 1, 2, 3]) {
    for (const frameMs of [16, 100]) {
      runs.push({ native: ['--scene', scene], file: `scene${Math.max(scene, 0)}.json`, frames: 60000 / frameMs,
                  frameMs, events });
    }
  }
  // scene0.json to scene3.json run above, for longer.
  for (const file of readdirSync(files).filter((f) => f.endsWith('.json') && !/^scene\d/.test(f)).sort()) {
    runs.push({ native: ['--scene-file', join(files, file)], file, frames: 600, frameMs: 16, events });
  }
}

// Where two traces part, as compare_traces.sh shows it.
function firstDifference(expected, actual) {
  const e = expected.split('\n');
  const a = actual.split('\n');
  const line = e.findIndex((l, i) => l !== a[i]);
  return `first difference at line ${line + 1}\n  native: ${e[line]}\n  npm:    ${a[line]}`;
}

for (const run of runs) {
  const args = [...run.native, '--frames', run.frames, '--frame-ms', run.frameMs, ...(run.events ? ['--events'] : [])];
  test(`${run.file} as prallwerk-trace ${args.join(' ')}`, () => {
    const expected = execFileSync(nativeTrace, args.map(String), { encoding: 'utf8', maxBuffer: 1 << 28 });
    const scene = engine.parseScene(readFileSync(join(files, run.file), 'utf8'), run.file);
    const world = engine.createWorld({ scene });
    const kinds = scene.bodies.map((b) => (b.kind === 'box' ? 2 : 1));
    const actual = trace(engine, world, kinds, run);
    world.dispose();
    if (actual !== expected) assert.fail(firstDifference(expected, actual));
  });
}
