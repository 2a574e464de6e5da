// Runs every engine on every body count, each run in a Node process of its own, the
// engines interleaved (A B C D A B C D ...) so that the machine's load falls on all
// alike; prints each run's result line as it comes and then the table of medians.
//   node bench.mjs [--repeats 3] [--seconds 10] [--dt 1/60] [--bodies 7,200,1000]
//                  [--engines a,b,...] [--sleep] [--smoke] [--raw FILE]
// --smoke: one run of a few steps per engine and body count, to see that each runs.
import { spawnSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { engines } from './engines/index.mjs';
import { parseLine, summaryTable } from './summary.mjs';

const { values: o } = parseArgs({
    options: {
        repeats: { type: 'string', default: '3' },
        seconds: { type: 'string', default: '10' },
        dt: { type: 'string', default: '1/60' },
        bodies: { type: 'string', default: '7,200,1000' },
        engines: { type: 'string', default: engines.map((e) => e.name).join(',') },
        sleep: { type: 'boolean', default: false },
        smoke: { type: 'boolean', default: false },
        raw: { type: 'string' },
    },
});
const smokeSeconds = '5/60';  // five steps of 1/60 s
const seconds = o.smoke ? smokeSeconds : o.seconds;
const repeats = o.smoke ? 1 : Number(o.repeats);
const counts = o.bodies.split(',');

// An engine whose package is not installed is left out, said so, not failed.
const installed = (name) => { try { import.meta.resolve(name); return true; } catch { return false; } };
const chosen = o.engines.split(',').map((name) => {
    const e = engines.find((x) => x.name === name);
    if (!e) throw new Error(`no engine ${name}: ${engines.map((x) => x.name).join(', ')}`);
    return e;
}).filter((e) => installed(e.needs) || (console.error(`bench: ${e.name} left out: ${e.needs} is not installed`), false));

const runOne = fileURLToPath(new URL('./run-one.mjs', import.meta.url));
const lines = [];
let failed = 0;
for (let repeat = 0; repeat < repeats; ++repeat) {
    for (const n of counts) {
        for (const e of chosen) {
            const child = spawnSync(process.execPath, [runOne, e.name, seconds, o.dt, n, o.sleep ? '1' : '0'], { encoding: 'utf8' });
            const line = child.stdout.trim().split('\n').find((l) => l.startsWith('engine='));
            const fields = line && parseLine(line);
            if (child.status !== 0 || !line || !Number.isFinite(Number(fields.us_per_step)) || !Number.isFinite(Number(fields.zmin))) {
                ++failed;
                console.error(`bench: ${e.name} N=${n} failed (exit ${child.status}):\n${child.stderr}${child.stdout}`);
                continue;
            }
            console.log(line);
            lines.push(line);
        }
    }
}
if (o.raw) writeFileSync(o.raw, lines.join('\n') + '\n');
if (lines.length) console.log('\n' + summaryTable(lines));
if (failed) {
    console.error(`bench: ${failed} runs failed`);
    process.exit(1);
}
