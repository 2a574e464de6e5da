// A ball thrown at a wall of crates under the physical rules, drawn with
// plain WebGL from the world's views; Save and Restore take the world back
// to a moment bit for bit. With ?paused the page waits for
// window.example.run(frames), as its test drives it.
import { createWorld } from 'prallwerk';
import { createRenderer } from './renderer.js';

const world = await createWorld({ rules: 'physical' });
const shapes = [];
function add(def, colour) {
  world.addBody(def);
  shapes.push({ kind: def.kind, size: def.kind === 'box' ? def.size : [def.radius, def.radius, def.radius], colour });
}
for (let row = 0; row < 4; ++row) {
  for (let column = 0; column < 5 - row; ++column) {
    add({ kind: 'box', size: [0.5, 1, 0.5], material: 'Holz', position: [0, column * 1.05 + row * 0.525 - 2.1, 0.25 + row * 0.5] },
        [0.8, 0.55 + 0.1 * (row % 2), 0.3]);
  }
}
add({ kind: 'sphere', radius: 0.4, material: 'Blei', position: [-6, 0, 1.2], velocity: [9, 0, 1.5] }, [0.35, 0.4, 0.5]);

const canvas = document.getElementById('view');
const draw = createRenderer(canvas, shapes);
const status = document.getElementById('status');
let saved = null;
let running = !new URLSearchParams(location.search).has('paused');

function show() {
  draw(world.positions, world.orientations);
  status.textContent = `${world.time.toFixed(2)} s`;
}

function run(frames) {
  for (let i = 0; i < frames; ++i) world.advance(1 / 60);
  show();
}

document.getElementById('run').onclick = (event) => {
  running = !running;
  event.target.textContent = running ? 'Pause' : 'Run';
};
document.getElementById('save').onclick = () => {
  saved = world.saveState();
  document.getElementById('restore').disabled = false;
};
document.getElementById('restore').onclick = () => {
  world.restoreState(saved);
  show();
};

function frame() {
  if (running) run(1);
  requestAnimationFrame(frame);
}
show();
requestAnimationFrame(frame);
window.example = { world, run, ready: true };
