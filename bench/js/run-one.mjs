// One run of one engine, in a process of its own so that no other engine's garbage or
// compiled code is about: builds the scene, steps it and prints scene.h's result line.
//   node run-one.mjs ENGINE [seconds=10] [dt=1/60] [bodies=7] [sleep=0]
import { engineNamed } from './engines/index.mjs';
import { makeScene } from './scene.mjs';
import { resultLine, timeSteps } from './result.mjs';

// "0.025" or a fraction such as "1/60", as the C++ peers read it.
const parseNumber = (s) => (s.includes('/') ? Number(s.split('/')[0]) / Number(s.split('/')[1]) : Number(s));

const [name, secondsText = '10', dtText = '1/60', bodiesText = '7', sleepText = '0', ...extra] = process.argv.slice(2);
const engine = engineNamed(name);
const args = { seconds: parseNumber(secondsText), dt: parseNumber(dtText), n: Number(bodiesText), sleep: sleepText !== '0' };
if (!engine || extra.length || !(args.seconds > 0) || !(args.dt > 0) || !Number.isInteger(args.n) || args.n < 1) {
    console.error('usage: node run-one.mjs ENGINE [seconds=10] [dt=1/60] [bodies=7] [sleep=0|1]');
    process.exit(2);
}
args.steps = Math.max(1, Math.round(args.seconds / args.dt));

const { open } = await import(new URL(engine.module, new URL('./engines/', import.meta.url)));
const world = await open(makeScene(args.n), { dt: args.dt, sleep: args.sleep, ...engine.options });
const timing = timeSteps(args.steps, world.step);
console.log(resultLine(engine.name, args, timing, world.finals()));
world.close();
