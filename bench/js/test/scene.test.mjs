// The port makes the bodies of the C++ peers' scene.h, number for number:
// scene-reference.txt is print_scene.cpp's printout of it (3 7 70 200), and where
// scene.h and g++ are at hand (the shared folder beside the repository) the
// printout is made afresh, so that a change of scene.h shows here too.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import * as scene from '../scene.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const reference = readFileSync(join(here, 'scene-reference.txt'), 'utf8');
const peers = process.env.PEERS_DIR ?? join(here, '../../../../shared/peers');

// { constants: [...], scenes: Map(n -> rows of 10 numbers) }
function parsePrintout(text) {
    const scenes = new Map();
    let constants = null, rows = null;
    for (const line of text.trim().split('\n')) {
        const [head, ...rest] = line.split(' ');
        if (head === 'constants') constants = rest.map(Number);
        else if (head === 'scene') scenes.set(Number(rest[0]), (rows = []));
        else rows.push([head, ...rest].map(Number));
    }
    return { constants, scenes };
}

const asRow = (b) => [b.sphere ? 1 : 0, ...b.p, ...b.v, ...b.w];

test('the port makes the bodies and constants of scene.h', () => {
    const { constants, scenes } = parsePrintout(reference);
    assert.deepEqual([scene.mass, scene.gravityZ, scene.restitution, scene.sphereRadius, scene.cubeEdge], constants);
    assert.deepEqual([...scenes.keys()], [3, 7, 70, 200]);
    for (const [n, rows] of scenes) assert.deepEqual(scene.makeScene(n).map(asRow), rows, `makeScene(${n})`);
});

test('each call makes bodies of its own', () => {
    const first = scene.makeScene(8);
    for (const b of first) b.p[2] = b.v[0] = b.w[1] = 99;
    assert.deepEqual(scene.makeScene(8).map(asRow), parsePrintout(reference).scenes.get(70).slice(0, 8));
});

test('the reference is what scene.h prints now', { skip: !existsSync(join(peers, 'scene.h')) && 'no scene.h beside the repository' }, () => {
    const dir = mkdtempSync(join(tmpdir(), 'print-scene-'));
    try {
        execFileSync('g++', ['-std=c++17', '-I', peers, join(here, 'print_scene.cpp'), '-o', join(dir, 'print_scene')]);
        assert.equal(execFileSync(join(dir, 'print_scene'), ['3', '7', '70', '200'], { encoding: 'utf8' }), reference);
    } finally {
        rmSync(dir, { recursive: true, force: true });
    }
});
