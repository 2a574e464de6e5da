// The page's figures in Debian's Chromium: the download, the start-up and
// the frame time against a bare WebGL page that draws the same vertices.
//
//   node page_bench.js --page DIR [--angle swiftshader|gl] [--runs N] [--frames N]
//
// Download: the page's files, as they are and gzip-compressed. Start-up:
// from navigation to the first frame drawn after No, median of N loads.
// Frame time: scene 2 in flight with the HUD, 1024 x 768, each frame timed
// from the start of its update to a 1-pixel readPixels after its drawing;
// the bare page draws the vertices of one such frame, captured from the
// page in eye coordinates, from static buffers with one lighting shader,
// timed the same way. The two take turns, --rounds times (default 4). With --angle gl the browser
// draws through the X server's OpenGL: run it under xvfb-run.
//
// A frame's time so taken also holds whatever the browser's GPU process was
// still doing when the frame began, mostly compositing the frame before,
// and that falls unevenly: into the page's frames more than the bare
// page's. So one more round of each is traced, and the trace gives what
// the GPU process spent per frame on each page's WebGL commands and on
// compositing, apart.
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve, launch} = require('./browser');

const option = (name, fallback) => {
  const at = process.argv.indexOf(name);
  return at > 0 ? process.argv[at + 1] : fallback;
};
const pageFolder = option('--page');
const angle = option('--angle', 'swiftshader');
const runs = Number(option('--runs', 5));
const frameCount = Number(option('--frames', 60));
const rounds = Number(option('--rounds', 4));

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];
const percentile = (values, p) => [...values].sort((a, b) => a - b)[Math.floor((values.length - 1) * p)];
const ms = (v) => `${v.toFixed(1)} ms`;

function download() {
  let bytes = 0, gzipped = 0;
  for (const entry of fs.readdirSync(pageFolder, {recursive: true, withFileTypes: true})) {
    if (!entry.isFile()) continue;
    const data = fs.readFileSync(path.join(entry.parentPath || entry.path, entry.name));
    bytes += data.length;
    gzipped += zlib.gzipSync(data, {level: 9}).length;
  }
  console.log(`download: ${bytes} bytes (${(bytes / 1048576).toFixed(2)} MiB), ${gzipped} bytes gzip-compressed`);
}

async function startProgram(browser, url, into = null) {
  const page = into || await browser.newPage();
  await page.setViewport({width: 1100, height: 860});
  await page.goto(url);
  await page.waitForSelector('#question[open]');
  await (await page.$$('#question button'))[1].click();
  await page.waitForFunction(() => performance.getEntriesByName('prallwerk-first-frame').length > 0);
  return page;
}

async function startup(browser, url) {
  const times = [];
  for (let i = 0; i < runs; ++i) {
    const page = await startProgram(browser, url);
    times.push(await page.evaluate(() => performance.getEntriesByName('prallwerk-first-frame')[0].startTime));
    await page.close();
  }
  console.log(`start-up, navigation to the first frame after No: median ${ms(median(times))} ` +
              `(${times.map((t) => t.toFixed(0)).join(', ')} ms)`);
}

// What the page asks of WebGL in a frame of scene 2 in flight, counted by
// kind over frames frames (in a page of its own: counting slows the calls).
async function callCounts(browser, url, frames = 10) {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.webglCalls = null;
    const proto = WebGL2RenderingContext.prototype;
    for (const name of Object.getOwnPropertyNames(proto)) {
      const call = Object.getOwnPropertyDescriptor(proto, name).value;
      if (typeof call !== 'function') continue;
      proto[name] = function (...args) {
        if (window.webglCalls) {
          let kind = name;
          if (/^draw(Arrays|Elements)/.test(name)) kind = `draw ${{0: 'points', 1: 'lines', 4: 'triangles'}[args[0]]}`;
          else if (/^buffer(Sub)?Data$/.test(name)) {
            kind = `${name} ${{0x8892: 'vertices', 0x8893: 'indices', 0x8a11: 'uniform block'}[args[0]] || args[0]}`;
          } else if (/^uniform/.test(name)) kind = 'uniform*';
          window.webglCalls[kind] = (window.webglCalls[kind] || 0) + 1;
        }
        return call.apply(this, args);
      };
    }
  });
  await startProgram(browser, url, page);
  await page.keyboard.press('F8');
  await sleep(300);
  await page.keyboard.press('Space');
  await sleep(1000);
  const counts = await page.evaluate(async (n) => {
    await new Promise(requestAnimationFrame);
    window.webglCalls = {};
    for (let i = 0; i < n; ++i) await new Promise(requestAnimationFrame);
    const c = window.webglCalls;
    window.webglCalls = null;
    return c;
  }, frames);
  await page.close();
  return Object.entries(counts).sort((a, b) => b[1] - a[1])
      .map(([kind, n]) => `${kind} ${(n / frames).toFixed(n % frames ? 1 : 0)}`).join(', ');
}

// What the GPU process's main thread spent per composited frame in a trace:
// executing the page's WebGL commands, and compositing (swapping) frames.
function gpuWork(trace) {
  const events = JSON.parse(Buffer.from(trace).toString()).traceEvents;
  const named = (kind, name, pid) => events.find((e) => e.ph === 'M' && e.name === kind && e.args.name === name &&
                                                 (pid === undefined || e.pid === pid));
  const gpu = named('process_name', 'GPU Process');
  const main = gpu && named('thread_name', 'CrGpuMain', gpu.pid);
  if (!main) return null;
  let webgl = 0, swap = 0, swaps = 0;
  for (const e of events) {
    if (e.ph !== 'X' || e.pid !== main.pid || e.tid !== main.tid) continue;
    if (e.name === 'WebGL') webgl += e.dur;
    if (e.name === 'SkiaOutputSurfaceImplOnGpu::SwapBuffers') swap += e.dur, ++swaps;
  }
  return swaps ? {webgl: webgl / 1000 / swaps, swap: swap / 1000 / swaps, frames: swaps} : null;
}

const traceCategories = ['gpu', 'viz'];

async function programFrames(browser, url, capture, traced = false) {
  const page = await startProgram(browser, url);
  await page.keyboard.press('F8');
  await sleep(300);
  await page.keyboard.press('Space');
  await sleep(1500);
  let frame = null;
  if (capture) {
    frame = await page.evaluate(async () => {
      Module._prallwerkCaptureNextFrame();
      for (let i = 0; i < 4; ++i) await new Promise(requestAnimationFrame);
      const count = Module._malloc(4);
      const out = [];
      for (let topology = 0; topology < 3; ++topology) {
        const at = Module._prallwerkCapturedVertices(topology, count) >> 2;
        const floats = HEAPF32.slice(at, at + HEAP32[count >> 2] * 12);
        let text = '';
        const bytes = new Uint8Array(floats.buffer);
        for (let i = 0; i < bytes.length; i += 32768) text += String.fromCharCode(...bytes.subarray(i, i + 32768));
        out.push(btoa(text));
      }
      Module._free(count);
      return out;
    });
  }
  if (traced) await page.tracing.start({categories: traceCategories});
  const times = await page.evaluate(async (n) => {
    Module.page.frameTimes = [];
    while (Module.page.frameTimes.length < n) await new Promise((r) => setTimeout(r, 50));
    return Module.page.frameTimes;
  }, frameCount);
  const work = traced ? gpuWork(await page.tracing.stop()) : null;
  await page.close();
  return {times, frame, work};
}

// The same vertices from static buffers, lit by one shader as the program
// lights them (light 1 at (5, 5, 10) in eye coordinates), with the switches
// the program drew them with: one draw for each kind of primitive and set of
// switches. The scene's draws (with the depth test) come first, then the
// HUD's: the blended panels and their edges, then the letters with their
// back faces culled. So the picture and the work per pixel are the
// program's; what the bare page leaves out is the program's own: its draws
// and their state, one list at a time.
const barePage = `<!doctype html><body style="margin:0;background:#000">
<canvas id="c" width="1024" height="768"></canvas><script>
const gl = document.getElementById('c').getContext('webgl2', {alpha: false, antialias: false});
const vs = \`#version 300 es
layout(location=0) in vec3 p; layout(location=1) in vec3 n; layout(location=2) in vec4 c; layout(location=3) in float lit;
uniform mat4 projection; out vec4 colour;
void main() {
  gl_Position = projection * vec4(p, 1.0); gl_PointSize = 10.0;
  vec3 l = normalize(vec3(5.0, 5.0, 10.0) - p);
  float d = max(dot(n, l), 0.0);
  float s = d > 0.0 ? max(dot(n, normalize(l + vec3(0.0, 0.0, 1.0))), 0.0) : 0.0;
  vec3 lit1 = c.rgb * 0.01 + d * c.rgb * 0.8 + s * 0.25;
  colour = clamp(vec4(mix(c.rgb, lit1, lit), c.a), 0.0, 1.0);
}\`;
const fs = \`#version 300 es
precision highp float; in vec4 colour; out vec4 o; void main() { o = colour; }\`;
function shader(type, source) { const s = gl.createShader(type); gl.shaderSource(s, source); gl.compileShader(s); return s; }
const program = gl.createProgram();
gl.attachShader(program, shader(gl.VERTEX_SHADER, vs));
gl.attachShader(program, shader(gl.FRAGMENT_SHADER, fs));
gl.linkProgram(program);
gl.useProgram(program);
const f = 1 / Math.tan(Math.PI / 8), a = 1024 / 768;
gl.uniformMatrix4fv(gl.getUniformLocation(program, 'projection'), false,
  [f / a, 0, 0, 0, 0, f, 0, 0, 0, 0, -101 / 99, -1, 0, 0, -200 / 99, 0]);
gl.depthFunc(gl.LEQUAL);
gl.blendFunc(gl.SRC_ALPHA, gl.ONE_MINUS_SRC_ALPHA);  // the HUD panels' blending, the only one the program uses
const depthTest = 1, blend = 2, cull = 4;
const draws = [];
window.load = (parts) => {
  const groups = new Map();
  parts.forEach((b64, topology) => {
    const all = new Float32Array(Uint8Array.from(atob(b64), (ch) => ch.charCodeAt(0)).buffer);
    for (let i = 0; i < all.length; i += 12) {
      const key = topology + 3 * all[i + 11];
      if (!groups.has(key)) groups.set(key, {topology, switches: all[i + 11], floats: []});
      groups.get(key).floats.push(...all.subarray(i, i + 11));
    }
  });
  // Depth-tested first, blended next; triangles before lines before points.
  const order = (g) => -(g.switches & depthTest) * 100 - (g.switches & blend) * 10 - g.topology;
  for (const g of [...groups.values()].sort((x, y) => order(x) - order(y))) {
    const vao = gl.createVertexArray();
    gl.bindVertexArray(vao);
    gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
    gl.bufferData(gl.ARRAY_BUFFER, new Float32Array(g.floats), gl.STATIC_DRAW);
    [[0, 3, 0], [1, 3, 12], [2, 4, 24], [3, 1, 40]].forEach(([at, size, offset]) => {
      gl.enableVertexAttribArray(at);
      gl.vertexAttribPointer(at, size, gl.FLOAT, false, 44, offset);
    });
    draws.push({vao, switches: g.switches, mode: [gl.POINTS, gl.LINES, gl.TRIANGLES][g.topology],
                count: g.floats.length / 11});
  }
};
window.run = (n) => new Promise((resolve) => {
  const times = [], pixel = new Uint8Array(4);
  const frame = () => {
    const start = performance.now();
    gl.clearColor(0, 0, 0, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    for (const d of draws) {
      for (const [bit, cap] of [[depthTest, gl.DEPTH_TEST], [blend, gl.BLEND], [cull, gl.CULL_FACE]]) {
        if (d.switches & bit) gl.enable(cap); else gl.disable(cap);
      }
      gl.bindVertexArray(d.vao);
      gl.drawArrays(d.mode, 0, d.count);
    }
    gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    times.push(performance.now() - start);
    if (times.length < n) requestAnimationFrame(frame); else resolve(times);
  };
  requestAnimationFrame(frame);
});
</script>`;

async function bareFrames(browser, frame, traced = false) {
  const page = await browser.newPage();
  await page.setViewport({width: 1100, height: 860});
  await page.setContent(barePage);
  await page.evaluate((parts) => window.load(parts), frame);
  await page.evaluate((n) => window.run(n), 10);  // shaders compiled, buffers in place
  if (traced) await page.tracing.start({categories: traceCategories});
  const times = await page.evaluate((n) => window.run(n), frameCount);
  const work = traced ? gpuWork(await page.tracing.stop()) : null;
  await page.close();
  return traced ? work : times;
}

async function main() {
  download();
  const server = await serve(pageFolder);
  const browser = await launch({angle});
  try {
    const probe = await browser.newPage();
    const renderer = await probe.evaluate(() => {
      const gl = document.createElement('canvas').getContext('webgl2');
      const info = gl && gl.getExtension('WEBGL_debug_renderer_info');
      return gl ? gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER) : 'no WebGL 2';
    });
    await probe.close();
    console.log(`browser: ${await browser.version()}, WebGL 2 on ${renderer}`);
    await startup(browser, server.url);
    console.log(`WebGL calls per frame: ${await callCounts(browser, server.url)}`);

    const program = [], bare = [];
    let frame = null, counts = '';
    for (let round = 0; round < rounds; ++round) {
      const run = await programFrames(browser, server.url, frame === null);
      if (!frame) {
        frame = run.frame;
        counts = frame.map((b64, t) => `${Buffer.from(b64, 'base64').length / 48} ${['points', 'line vertices',
                                                                                    'triangle vertices'][t]}`);
      }
      program.push(...run.times);
      bare.push(...await bareFrames(browser, frame));
    }
    const [p, b] = [median(program), median(bare)];
    console.log(`frame: ${counts.join(', ')}`);
    console.log(`frame time, the page: median ${ms(p)} (10th ${ms(percentile(program, 0.1))}, ` +
                `90th ${ms(percentile(program, 0.9))})`);
    console.log(`frame time, the bare page: median ${ms(b)} (10th ${ms(percentile(bare, 0.1))}, ` +
                `90th ${ms(percentile(bare, 0.9))})`);
    console.log(`the page / the bare page: ${(p / b).toFixed(2)}`);

    const pageWork = (await programFrames(browser, server.url, false, true)).work;
    const bareWork = await bareFrames(browser, frame, true);
    if (pageWork && bareWork) {
      const line = (w) => `WebGL ${ms(w.webgl)}, compositing ${ms(w.swap)} (${w.frames} frames traced)`;
      console.log(`GPU process per frame, the page: ${line(pageWork)}`);
      console.log(`GPU process per frame, the bare page: ${line(bareWork)}`);
      console.log(`WebGL, the page / the bare page: ${(pageWork.webgl / bareWork.webgl).toFixed(2)}`);
    } else {
      console.log('GPU process per frame: the trace has no GPU process main thread');
    }
  } finally {
    await browser.close();
    await server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
