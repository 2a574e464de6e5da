// A person at the page, in Debian's Chromium, headless: the start question,
// the keys, the mouse, the HUD and the picture (compared with the Linux
// program's), full screen granted, left and refused, 24 instant taps and the
// end. Prints PASS or the first failure; a failure leaves the screenshots
// and the page's console in the --out folder.
//
//   node session.js --page DIR --snapshot PRALLWERK_SNAPSHOT --trace PRALLWERK_TRACE --out DIR [--firefox]
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve, launch, launchFirefox} = require('./browser');
const {decodePng, compareSquares, differingPixels, findPixels} = require('./pictures');

const option = (name) => process.argv[process.argv.indexOf(name) + 1];
const firefox = process.argv.includes('--firefox');
const out = option('--out');
const shots = [];
const consoleLines = [];

// The keys the controls read; the browser must not act on any of them.
const programKeys = ['F3', 'F5', 'F6', 'F7', 'F8', 'Space', 'PageUp', 'PageDown', 'ArrowLeft', 'ArrowRight',
                     'ArrowUp', 'ArrowDown', 'KeyA', 'KeyR', 'NumpadAdd', 'NumpadSubtract', 'NumpadMultiply',
                     'NumpadDivide', 'Period', 'Comma'];
const bodyColours = {yellow: [255, 255, 0], red: [255, 0, 0], green: [0, 255, 0], blue: [0, 0, 255],
                     magenta: [255, 0, 255], cyan: [0, 255, 255], orange: [255, 128, 0]};
// The lower left panel with the body table, and the top panel, in canvas pixels.
const tableArea = {x: 0, y: 640, width: 560, height: 128};
const topArea = {x: 0, y: 0, width: 1024, height: 76};
// The HUD's simulated time.
const timeText = {x: 820, y: 8, width: 200, height: 30};
// Where scene 2's sphere rises in its first second, clear of the HUD and the boxes.
const sphereArea = {x: 0, y: 120, width: 450, height: 500};

function check(ok, what) {
  if (!ok) throw new Error(what);
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(what, probe, timeoutMs = 15000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out: ${what}`);
    await sleep(50);
  }
}

// Lets the program run a few frames. A key pressed and released again before
// a frame has seen its last press counts once, as on the desktop.
async function frames(page, count = 3) {
  await page.evaluate((n) => new Promise((resolve) => {
    const next = (left) => (left === 0 ? resolve() : requestAnimationFrame(() => next(left - 1)));
    next(n);
  }), count);
}

async function press(page, key, times = 1) {
  for (let i = 0; i < times; ++i) {
    await page.keyboard.press(key);
    await frames(page);
  }
}

// The canvas as the user sees it, or the part of it in clip (canvas pixels).
async function picture(page, name, clip = null) {
  const canvas = await page.$('#canvas');
  let png;
  if (clip) {
    const at = await canvas.boundingBox();
    png = await page.screenshot({clip: {...clip, x: at.x + clip.x, y: at.y + clip.y}});
  } else {
    png = await canvas.screenshot();
  }
  shots.push({name, png});
  return decodePng(png);
}

// The picture once two looks quietMs apart find it the same.
async function restingPicture(page, name, quietMs = 300, clip = null) {
  let last = await picture(page, name, clip);
  return until(`${name}: the picture comes to rest`, async () => {
    await sleep(quietMs);
    const now = await picture(page, name, clip);
    const resting = differingPixels(now, last) === 0;
    last = now;
    return resting && now;
  });
}

async function changedPicture(page, from, name, clip = null) {
  return until(`${name}: the picture changes`, async () => {
    const now = await picture(page, name, clip);
    return differingPixels(now, from) > 0 && now;
  });
}

async function openPage(browser, url, name, refuseFullscreen = false) {
  const page = await browser.newPage();
  page.on('console', (m) => consoleLines.push(`[${name}] ${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => consoleLines.push(`[${name}] pageerror: ${e.message}`));
  // After the page's own handlers: whether each key's and the context menu's
  // default was prevented.
  await page.evaluateOnNewDocument((refuse) => {
    window.seen = [];
    for (const type of ['keydown', 'contextmenu']) {
      window.addEventListener(type, (e) => window.seen.push({type, code: e.code || '', prevented: e.defaultPrevented}));
    }
    if (refuse) Element.prototype.requestFullscreen = () => Promise.reject(new TypeError('refused by the test'));
  }, refuseFullscreen);
  if (firefox) {
    // Puppeteer names the space bar ' ' to WebDriver BiDi.
    const keyboard = page.keyboard;
    for (const method of ['press', 'down', 'up']) {
      const original = keyboard[method].bind(keyboard);
      keyboard[method] = (key, ...rest) => original(key === 'Space' ? ' ' : key, ...rest);
    }
  }
  await page.goto(url);
  return page;
}

async function lastSeen(page, type) {
  return page.evaluate((t) => window.seen.filter((s) => s.type === t).pop(), type);
}

async function answer(page, button) {
  await page.waitForSelector('#question[open]', {timeout: 15000});
  const question = await page.$eval('#question', (d) => ({
    title: d.querySelector('.title').textContent,
    text: d.querySelector('.text').textContent,
    buttons: [...d.querySelectorAll('button')].map((b) => b.textContent),
  }));
  check(question.title === 'Start FullScreen?' && question.text === 'Would You Like To Run In Fullscreen Mode?' &&
        question.buttons.join() === 'Yes,No', `the start question is ${JSON.stringify(question)}`);
  shots.push({name: 'question', png: await page.screenshot()});
  await (await page.$$('#question button'))[button === 'Yes' ? 0 : 1].click();
}

// Where the picture and the controls are: both inside the browser's window,
// apart, the picture with the window's proportions and a drawing-buffer
// pixel per device pixel, and the page no wider than the browser's window.
async function checkLayout(page, name) {
  const l = await page.evaluate(() => {
    const rect = (e) => e.getBoundingClientRect().toJSON();
    const c = document.getElementById('canvas');
    return {canvas: rect(c), bar: rect(document.getElementById('bar')), pixels: c.width, rows: c.height,
            ratio: window.devicePixelRatio, innerWidth: window.innerWidth, innerHeight: window.innerHeight,
            scrollWidth: document.scrollingElement.scrollWidth,
            controls: [...document.querySelectorAll('#bar > *')].map(rect),
            focusLine: rect(document.getElementById('focus-line')),
            focusFont: parseFloat(getComputedStyle(document.getElementById('hint')).fontSize)};
  });
  const inside = (r) => r.left >= 0 && r.top >= 0 && r.right <= l.innerWidth + 0.5 && r.bottom <= l.innerHeight + 0.5;
  const apart = (a, b) => a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
  const what = `${name}: ${JSON.stringify({...l, controls: undefined})}`;
  check(inside(l.canvas) && l.controls.length === 13 && l.controls.every(inside), `${what}: not all inside the window`);
  check(l.controls.every((r) => apart(r, l.canvas) && r.width >= 44 && r.height >= 44),
        `${what}: a control over the picture or smaller than a finger`);
  check(l.canvas.height === l.canvas.width * 0.75 && l.pixels === l.canvas.width * l.ratio &&
        l.rows === l.pixels * 0.75, `${what}: the picture is not 4:3 at a pixel per device pixel`);
  check(l.scrollWidth <= l.innerWidth, `${what}: the page is wider than the window`);
  check(Math.abs(l.focusLine.top - l.canvas.bottom) < 1 && inside(l.focusLine) && l.focusFont >= 14,
        `${what}: the focus line is not right under the picture, or small`);
  // The larger side of the window is filled but for the controls and the margins.
  check(Math.max(l.canvas.width + (l.bar.left >= l.canvas.right ? l.bar.width : 0) + 60 - l.innerWidth,
                 l.canvas.height + (l.bar.top >= l.canvas.bottom ? l.bar.height : 0) + 90 - l.innerHeight) >= 0 ||
        l.canvas.width === 1024, `${what}: the picture is smaller than the window leaves room for`);
  return l;
}

const panelGrey = (r, g, b) => Math.abs(r - 64) < 40 && Math.abs(g - 64) < 40 && Math.abs(b - 64) < 40;

// Both HUD panels whole in a picture of any size: their far corners and the
// top panel's lower edge are there.
function checkPanels(shot, name) {
  const s = shot.width / 1024;
  const side = Math.max(2, Math.round(8 * s));
  const boxes = {'top left': [2 * s, 2 * s], 'top right': [shot.width - 10 * s, 2 * s],
                 'bottom left': [2 * s, shot.height - 10 * s], 'top panel edge': [shot.width / 2, 66 * s]};
  for (const [where, [x, y]] of Object.entries(boxes)) {
    const box = {x: Math.round(x), y: Math.round(y), width: side, height: side};
    const share = findPixels(shot, box, panelGrey).count / (side * side);
    check(share > 0.6, `${name}: the HUD panel at its ${where} is cut off (${share.toFixed(2)} of it grey)`);
  }
}

// After the browser's window changes (its size, the pixel ratio, portrait or
// landscape), the next frames show the whole 1024 x 768 view at the new
// size: the Linux program's picture drawn at that size, square by square as
// at 1024 x 768, and both HUD panels.
async function resized(page, size, snapshot) {
  const name = `resized-${size.width}x${size.height}@${size.ratio}`;
  await page.setViewport({width: size.width, height: size.height, deviceScaleFactor: size.ratio});
  await frames(page, 2);
  const l = await checkLayout(page, name);
  check((l.bar.left >= l.canvas.right) === size.beside,
        `${name}: the controls are ${size.beside ? 'not ' : ''}beside the picture: ${JSON.stringify([l.canvas, l.bar])}`);
  const shot = await picture(page, name);
  check(shot.width === l.pixels && shot.height === l.rows, `${name}: a picture of ${shot.width} x ${shot.height}`);
  const reference = path.join(out, `linux-scene-2-${l.pixels}.png`);
  execFileSync(snapshot, ['--scene', '1', '--time', '0', '--width', String(l.pixels), '--height', String(l.rows),
                          '--point-scale', String(l.pixels / 1024), '--out', reference]);
  const same = compareSquares(shot, decodePng(fs.readFileSync(reference)), 32, 16, 1);
  console.log(`${name}: ${l.pixels} x ${l.rows} pixels, ${same.total} differ from the Linux program's at that size, ` +
              `worst square ${same.worst.count}`);
  check(same.over.length === 0, `${name}: differs from Linux's in ${same.over.length} squares of 32 pixels: ` +
        JSON.stringify(same.over.slice(0, 5)));
  checkPanels(shot, name);
}

async function firstFrame(page) {
  await page.waitForFunction(() => performance.getEntriesByName('prallwerk-first-frame').length > 0,
                             {timeout: 15000});
}

async function canvasBox(page) {
  return page.$eval('#canvas', (c) => {
    const r = c.getBoundingClientRect();
    return {left: r.left, top: r.top, width: r.width, height: r.height, pixels: c.width, rows: c.height, cursor: c.style.cursor,
            fullscreen: document.fullscreenElement === c, innerWidth: window.innerWidth,
            innerHeight: window.innerHeight};
  });
}

const near = ([r, g, b]) => (pr, pg, pb) => Math.abs(pr - r) < 40 && Math.abs(pg - g) < 40 && Math.abs(pb - b) < 40;
const litYellow = (r, g, b) => r > 90 && g > 90 && b < 70 && Math.abs(r - g) < 40;
const litMagenta = (r, g, b) => r > 90 && b > 90 && g < 70 && Math.abs(r - b) < 40;

// How much bigger scene 2's sphere looks after 640 ms of running: it flies
// up towards the camera (its pixels grow by half in that time at full speed).
async function sphereRise(page, fresh, name) {
  const start = findPixels(fresh, sphereArea, litYellow);
  await press(page, 'Space');
  await sleep(640);
  await press(page, 'Space');
  const risen = findPixels(await restingPicture(page, name), sphereArea, litYellow);
  await press(page, 'KeyR');
  check(start.count > 500, `${name}: no sphere in sight`);
  return risen.count / start.count - 1;
}

function phase(name) {
  console.log(`${name} after ${((Date.now() - begin) / 1000).toFixed(1)} s`);
}
const begin = Date.now();

// Three sizes of the browser's window at pixel ratios 1 and 2, portrait and
// landscape, then back to where the session began.
// The controls go beside the picture where that leaves it larger (a low
// landscape window), under it elsewhere.
const sizes = [{width: 844, height: 390, ratio: 1, beside: true}, {width: 600, height: 960, ratio: 2, beside: false},
               {width: 1100, height: 900, ratio: 2, beside: false}];

async function windowed(browser, url, linux, snapshot) {
  const page = await openPage(browser, url, 'windowed');
  await answer(page, 'No');
  await firstFrame(page);
  const box = await canvasBox(page);
  check(box.width === 1024 && box.height === 768 && box.pixels === 1024 && box.rows === 768 && !box.fullscreen,
        `No gives a canvas of ${JSON.stringify(box)}, not 1024 x 768 windowed`);

  // The help names every key, the mouse and the touch gestures.
  const help = await page.$eval('#help', (e) => e.innerText);
  for (const word of ['Space', 'R', 'F7', 'F8', 'F5', 'F6', 'F3', 'Page Up', 'Page Down', 'Escape', 'Mouse', 'left button',
                      'right button', 'Touch', 'one finger', 'pinch', 'double tap']) {
    check(help.includes(word), `the help does not name ${word}`);
  }
  check(/\n\. \+1 \/ , /.test(help), 'the help does not name the full stop and the comma');

  phase('scene 2 loaded');
  await page.keyboard.press('F8');
  const fresh = await restingPicture(page, 'scene-2');
  const same = compareSquares(fresh, linux, 32, 16, 1);
  console.log(`same picture: ${same.total} pixels differ from the Linux program's, worst square ` +
              `${same.worst.count} at ${same.worst.x},${same.worst.y}`);
  check(same.over.length === 0, `scene 2 differs from Linux's in ${same.over.length} squares of 32 pixels by more ` +
        `than 16 pixels (none alike within a pixel): ${JSON.stringify(same.over.slice(0, 5))}`);
  for (const [name, rgb] of Object.entries(bodyColours)) {
    const found = findPixels(fresh, tableArea, near(rgb)).count;
    check(found > 40, `the body table has ${found} ${name} pixels`);
  }
  const grey = near([64, 64, 64]);
  check(findPixels(fresh, topArea, grey).count > 20000 && findPixels(fresh, tableArea, grey).count > 20000,
        'the HUD panels are missing');

  phase('resizing');
  const initial = await page.evaluate(() => [window.innerWidth, window.innerHeight]);
  for (const size of sizes) await resized(page, size, snapshot);
  await page.setViewport({width: initial[0], height: initial[1], deviceScaleFactor: 1});
  await frames(page, 2);
  const back = await checkLayout(page, 'back');
  check(back.canvas.width === 1024 && back.pixels === 1024, `back at the first size the canvas is ${back.pixels} wide`);
  check(differingPixels(await restingPicture(page, 'back'), fresh) === 0, 'back at the first size the picture differs');

  await page.keyboard.press('Space');
  await changedPicture(page, fresh, 'running');
  await page.keyboard.press('Space');
  const paused = await restingPicture(page, 'paused');

  await page.keyboard.press('F3');
  const wire = await restingPicture(page, 'wireframe');
  check(differingPixels(wire, paused) > 500, 'F3 does not change the picture');
  await page.keyboard.press('F3');
  check(differingPixels(await restingPicture(page, 'solid'), paused) === 0, 'F3 twice does not give the picture back');

  await page.keyboard.press('KeyR');
  check(differingPixels(await restingPicture(page, 'reset'), fresh) === 0, 'R does not give scene 2 at 0.00 back');

  phase('keys checked');
  // F6 four times slows time to a sixteenth, F5 four times brings it back.
  const normal = await sphereRise(page, fresh, 'scale-1');
  await press(page, 'F6', 4);
  const slow = await sphereRise(page, fresh, 'scale-16');
  await press(page, 'F5', 4);
  const again = await sphereRise(page, fresh, 'scale-1-again');
  const percent = (v) => `${(100 * v).toFixed(1)} %`;
  console.log(`in 640 ms the sphere grows by ${percent(normal)}, by ${percent(slow)} after F6 x 4, ` +
              `by ${percent(again)} after F5 x 4`);
  check(normal > 0.2 && slow < normal / 4 && again > normal / 2, 'F5 and F6 do not change the speed');

  phase('speeds checked');
  // A left drag turns the scene; the right button turns it back.
  const before = await restingPicture(page, 'before-drag');
  const at = await page.$eval('#canvas', (c) => c.getBoundingClientRect().toJSON());
  await page.mouse.move(at.x + 512, at.y + 384);
  await page.mouse.down();
  await frames(page);
  for (let step = 1; step <= 10; ++step) {
    await page.mouse.move(at.x + 512 + 20 * step, at.y + 384 + 8 * step);
    await frames(page, 1);
  }
  await page.mouse.up();
  check(differingPixels(await restingPicture(page, 'turned'), before) > 5000, 'a left drag does not turn the scene');
  // Held for a few frames: the button is read once a frame, as on the desktop.
  await page.mouse.move(at.x + 300, at.y + 300);
  await page.mouse.down({button: 'right'});
  await frames(page);
  await page.mouse.up({button: 'right'});
  check(differingPixels(await restingPicture(page, 'turned-back'), before) === 0,
        'the right button does not turn the scene back');
  const menu = await lastSeen(page, 'contextmenu');
  check(menu && menu.prevented, 'the right button opens the context menu');

  // The camera controls act while held: the camera moves from frame to
  // frame under the pressed control, not once when it is let go; and again
  // at the next press.
  const nearer = await page.$('#bar [data-name=nearer]');
  const held = await nearer.boundingBox();
  let last = await restingPicture(page, 'before-nearer');
  for (let press = 1; press <= 2; ++press) {
    const which = press === 1 ? 'first' : 'second';
    await page.mouse.move(held.x + held.width / 2, held.y + held.height / 2);
    await page.mouse.down();
    await frames(page, 2);
    const holding = await picture(page, `nearer-${press}-held`);
    await frames(page, 4);
    const moving = differingPixels(await picture(page, `nearer-${press}-held-on`), holding);
    await page.mouse.up();
    const now = await restingPicture(page, `nearer-${press}`);
    check(moving > 0, `the camera control held a ${which} time does not move the camera while it is held`);
    check(differingPixels(now, last) > 1000, `the camera control held a ${which} time does not bring the camera nearer`);
    last = now;
  }

  phase('mouse checked');
  // 24 instant taps: down and up at once, with no frame between. The
  // simulated time shows whether the scene runs.
  let rest = await picture(page, 'tap-0', timeText);
  for (let tap = 1; tap <= 24; ++tap) {
    await Promise.all([page.keyboard.down('Space'), page.keyboard.up('Space')]);
    if (tap % 2 === 1) await changedPicture(page, rest, `tap-${tap}`, timeText).catch(() => {
      throw new Error(`tap ${tap} of 24 lost: Space did not start the scene`);
    });
    else rest = await restingPicture(page, `tap-${tap}`, 200, timeText).catch(() => {
      throw new Error(`tap ${tap} of 24 lost: Space did not stop the scene`);
    });
  }

  phase('24 taps taken');
  // Every key the program reads, and only those, is kept from the browser.
  for (const key of [...programKeys, 'KeyQ', 'F1']) {
    await page.keyboard.press(key);
    const seen = await lastSeen(page, 'keydown');
    check(seen && seen.code === key && seen.prevented === programKeys.includes(key),
          `${key} arrives with defaultPrevented ${seen && seen.prevented}`);
  }
  // Away from the picture the keys cannot reach the program: the page says
  // so until the picture is clicked again.
  const hintShown = () => page.$eval('#hint', (e) => !e.hidden && e.textContent);
  check(!(await hintShown()), 'the hint shows while the canvas has the focus');
  await page.mouse.click(4, 4);
  check((await hintShown()) === 'Click the picture to use the keys.', 'no hint once the canvas lost the focus');
  const middle = await canvasBox(page);
  await page.mouse.click(middle.left + 10, middle.top + 10);
  check(!(await hintShown()), 'the hint stays after the picture was clicked');
  await page.keyboard.down('Control');
  await page.keyboard.press('KeyR');
  await page.keyboard.up('Control');
  check(!(await lastSeen(page, 'keydown')).prevented, 'Ctrl+R is kept from the browser');

  await page.keyboard.press('Escape');
  check((await lastSeen(page, 'keydown')).prevented, 'Escape is not kept from the browser');
  await checkEnded(page);
  await page.close();
}

// After Escape the picture and its controls are gone, and the page says
// plainly that the demo has ended, with the button that starts it again.
async function checkEnded(page) {
  await page.waitForSelector('#ended:not([hidden])', {timeout: 10000});
  const end = await page.evaluate(() => ({
    text: document.getElementById('ended').innerText,
    canvasShown: document.getElementById('canvas').getClientRects().length > 0,
    barShown: document.getElementById('bar').getClientRects().length > 0,
    button: document.querySelector('#ended button').getBoundingClientRect().toJSON(),
    innerWidth: window.innerWidth, innerHeight: window.innerHeight,
  }));
  check(end.text.includes('Prallwerk has ended.') && end.text.includes('Start again'),
        `the page does not say that the demo has ended: ${JSON.stringify(end.text)}`);
  check(!end.canvasShown && !end.barShown, 'the picture or its controls still show after the end');
  check(end.button.width > 0 && end.button.bottom <= end.innerHeight && end.button.right <= end.innerWidth,
        `the Start again button is not on screen: ${JSON.stringify(end.button)}`);
  shots.push({name: 'ended', png: await page.screenshot()});
}

// Yes on a 1024 x 768 screen: the browser grants full screen; the canvas
// fills it and the program draws. Leaving full screen as the browser does
// for the user's Escape brings the window back windowed, scaled to the
// browser's window. A window that cannot be made again after full screen
// ends the program with its message. Then a browser that refuses: the
// mode-switch message, and the program goes on windowed.
async function fullscreen(browser, url) {
  const page = await openPage(browser, url, 'fullscreen');
  await answer(page, 'Yes');
  await firstFrame(page);
  let box = await canvasBox(page);
  check(box.fullscreen && box.width === 1024 && box.height === 768 && box.pixels === 1024 && box.cursor === 'none',
        `after Yes the canvas is ${JSON.stringify(box)}, not full screen at 1024 x 768 without a cursor`);
  const full = await restingPicture(page, 'fullscreen');
  check(findPixels(full, topArea, near([64, 64, 64])).count > 20000, 'nothing drawn in full screen');

  await page.evaluate(() => document.exitFullscreen());
  box = await until('the window comes back windowed', async () => {
    const b = await canvasBox(page);
    return !b.fullscreen && b.cursor === '' && b.width < 1024 && b;
  });
  // As large as the browser's window leaves room for beside the controls.
  await checkLayout(page, 'back from full screen');
  const windowedAgain = await restingPicture(page, 'windowed-again');
  await page.keyboard.press('F8');
  await changedPicture(page, windowedAgain, 'windowed-again-f8');
  await page.close();

  // The window made again after full screen, when the browser gives it no
  // WebGL context: the program says so and ends; the closed window's hint
  // for the keys does not show under the message.
  const lost = await openPage(browser, url, 'no-context');
  await answer(lost, 'Yes');
  await firstFrame(lost);
  await lost.evaluate(() => {
    // The canvas's own: Emscripten's WebGL library keeps the browser's
    // getContext on the canvas once it has made a context there.
    document.getElementById('canvas').getContext = () => null;
    return document.exitFullscreen();
  });
  await lost.waitForSelector('#warning[open]', {timeout: 15000});
  const failed = await lost.evaluate(() => ({
    title: document.querySelector('#warning .title').textContent,
    text: document.querySelector('#warning .text').textContent,
    hint: !document.getElementById('hint').hidden,
  }));
  check(failed.title === 'Error' && failed.text === 'Error Creating OpenGL Window' && !failed.hint,
        `a window without a context says ${JSON.stringify(failed)}`);
  shots.push({name: 'no-context', png: await lost.screenshot()});
  await (await lost.$('#warning button')).click();
  await checkEnded(lost);
  await lost.close();

  const refused = await openPage(browser, url, 'refused', true);
  await answer(refused, 'Yes');
  await refused.waitForSelector('#warning[open]', {timeout: 15000});
  const warning = await refused.$eval('#warning', (d) => [d.querySelector('.title').textContent,
                                                            d.querySelector('.text').textContent]);
  check(warning[0] === 'Error' && warning[1] === 'Mode Switch Failed.\nRunning In Windowed Mode.',
        `a refused full screen says ${JSON.stringify(warning)}`);
  shots.push({name: 'refused', png: await refused.screenshot()});
  await (await refused.$('#warning button')).click();
  await firstFrame(refused);
  box = await canvasBox(refused);
  check(!box.fullscreen && box.cursor === '', `after the refusal the canvas is ${JSON.stringify(box)}`);
  check(findPixels(await restingPicture(refused, 'refused-drawn'), topArea, near([64, 64, 64])).count > 20000,
        'nothing drawn after the refusal');
  await refused.close();
}

// Touches through the browser's own input, several fingers at once:
// points are [x, y] in CSS pixels of the page.
async function touches(cdp, type, points, timestamp = undefined) {
  await cdp.send('Input.dispatchTouchEvent',
                 {type, timestamp, touchPoints: points.map(([x, y], id) => ({x, y, id, radiusX: 4, radiusY: 4, force: 1}))});
}

async function drag(page, cdp, from, to, steps) {
  await touches(cdp, 'touchStart', [from]);
  await frames(page);
  for (let step = 1; step <= steps; ++step) {
    await touches(cdp, 'touchMove', [[from[0] + (to[0] - from[0]) * step / steps, from[1] + (to[1] - from[1]) * step / steps]]);
    await frames(page, 1);
  }
  await touches(cdp, 'touchEnd', []);
  await frames(page);
}

// Two fingers around centre, from spread apart to spread, in steps of one
// frame each.
async function pinch(page, cdp, centre, from, to, steps) {
  const at = (d) => [[centre[0] - d / 2, centre[1]], [centre[0] + d / 2, centre[1]]];
  await touches(cdp, 'touchStart', at(from));
  await frames(page);
  for (let step = 1; step <= steps; ++step) {
    await touches(cdp, 'touchMove', at(from + (to - from) * step / steps));
    await frames(page, 2);
  }
  await touches(cdp, 'touchEnd', []);
  await frames(page);
}

async function tapControl(page, name) {
  await (await page.$(`#bar [data-name=${name}]`)).tap();
  await frames(page);
}

// A phone held upright, 390 x 844 at a pixel ratio of 3, with touch and no
// keyboard: the start question's buttons on the screen, the demo started,
// turned, zoomed and stepped by touch alone, then ended.
async function phone(browser, url) {
  const page = await browser.newPage();
  page.on('console', (m) => consoleLines.push(`[phone] ${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => consoleLines.push(`[phone] pageerror: ${e.message}`));
  await page.setViewport({width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true});
  await page.goto(url);
  await page.waitForSelector('#question[open]', {timeout: 15000});
  const question = await page.evaluate(() => ({
    buttons: [...document.querySelectorAll('#question button')].map((b) => b.getBoundingClientRect().toJSON()),
    scrollWidth: document.scrollingElement.scrollWidth, innerWidth: window.innerWidth, innerHeight: window.innerHeight,
  }));
  shots.push({name: 'phone-question', png: await page.screenshot()});
  check(question.scrollWidth <= 390 && question.buttons.length === 2 &&
        question.buttons.every((b) => b.left >= 0 && b.top >= 0 && b.right <= 390 && b.bottom <= question.innerHeight),
        `on a phone the start question's buttons are off the screen: ${JSON.stringify(question)}`);
  await (await page.$$('#question button'))[1].tap();
  await firstFrame(page);
  const l = await checkLayout(page, 'phone');
  const cdp = await page.createCDPSession();
  const centre = [l.canvas.left + l.canvas.width / 2, l.canvas.top + l.canvas.height / 2];
  const s = l.pixels / 1024;
  const time = {x: Math.round(timeText.x * s), y: Math.round(timeText.y * s),
                width: Math.round(timeText.width * s), height: Math.round(timeText.height * s)};

  // Started and paused with the control bar: the time runs in between.
  const atStart = await restingPicture(page, 'phone-start');
  await tapControl(page, 'start');
  await changedPicture(page, atStart, 'phone-running', null);
  check((await page.$eval('#bar [data-name=start]', (b) => b.title)) === 'Pause (Space)',
        'the start control does not offer to pause while the demo runs');
  await tapControl(page, 'start');
  // Reset, so that what follows sees the scene as it starts, however long
  // a busy machine let it run: the bodies stay in view where they are
  // looked for.
  await tapControl(page, 'reset');
  const paused = await restingPicture(page, 'phone-paused');
  check(differingPixels(paused, atStart) <= 20, 'the reset control does not bring the scene back to its start');

  // One finger turns the scene as the left button does, from where it
  // touched to where it left; a double tap turns it back.
  const from = [centre[0] - 60, centre[1]], to = [centre[0] + 40, centre[1] + 30];
  await drag(page, cdp, from, to, 8);
  const turned = await restingPicture(page, 'phone-turned');
  check(differingPixels(turned, paused) > 5000, 'a finger drawn over the picture does not turn the scene');
  // Two taps 80 ms apart, as the touches' own times say (a busy machine may
  // hand them over later). Back to the start orientation at the scale the
  // turn left, which its rounding may have moved off 1 in the last bit: a
  // pixel or two may differ.
  const turnBack = async (name) => {
    const now = Date.now() / 1000;
    for (let tap = 0; tap < 2; ++tap) {
      await touches(cdp, 'touchStart', [centre], now + 0.08 * tap);
      await touches(cdp, 'touchEnd', [], now + 0.08 * tap + 0.03);
    }
    const shot = await restingPicture(page, name);
    const back = differingPixels(shot, paused);
    check(back <= 20, `a double tap does not turn the scene back (${back} pixels differ)`);
    return shot;
  };
  await turnBack('phone-turned-back');
  await page.mouse.move(...from);
  await page.mouse.down();
  await frames(page);
  for (let step = 1; step <= 8; ++step) {
    await page.mouse.move(from[0] + (to[0] - from[0]) * step / 8, from[1] + (to[1] - from[1]) * step / 8);
    await frames(page, 1);
  }
  await page.mouse.up();
  const mouseTurned = differingPixels(await restingPicture(page, 'phone-mouse-turned'), turned);
  check(mouseTurned <= 20, `a finger turns the scene other than the left button does (${mouseTurned} pixels differ)`);
  const turnedBack = await turnBack('phone-turned-back-again');

  // Two fingers spread bring the camera nearer: the bodies grow; pinched
  // together as far again, it is back where it was.
  // The magenta box's pixels between the HUD's panels.
  const scene = {x: 0, y: Math.round(90 * s), width: l.pixels, height: Math.round(540 * s)};
  const magenta = (shot) => findPixels(shot, scene, litMagenta).count;
  await pinch(page, cdp, centre, 60, 180, 20);
  const nearer = await restingPicture(page, 'phone-nearer');
  check(magenta(nearer) > magenta(turnedBack) * 1.2, `spreading two fingers does not bring the camera nearer ` +
        `(${magenta(turnedBack)} magenta pixels before, ${magenta(nearer)} after)`);
  await pinch(page, cdp, centre, 180, 60, 20);
  check(differingPixels(await restingPicture(page, 'phone-farther'), turnedBack) === 0,
        'pinching two fingers together as far does not move the camera back');

  // One frame, and on to the next impact, with the control bar while paused.
  await tapControl(page, 'frame');
  const stepped = await restingPicture(page, 'phone-frame');
  check(differingPixels(stepped, turnedBack) > 0, 'the one-frame control does not step the demo');
  await tapControl(page, 'impact');
  check(differingPixels(await restingPicture(page, 'phone-impact'), stepped) > 0,
        'the next-impact control does not step the demo');
  // Slower and faster show the time scale.
  const scale = () => page.$eval('#scale', (o) => o.textContent);
  await tapControl(page, 'slower');
  await tapControl(page, 'slower');
  check(await until('the time scale shows 1/4', async () => (await scale()) === '1/4'), 'no time scale');
  await tapControl(page, 'faster');
  check(await until('the time scale shows 1/2', async () => (await scale()) === '1/2'), 'no time scale');

  await tapControl(page, 'end');
  await checkEnded(page);
  await page.close();
}

// Scene files from the visitor: a bad one, picked or dropped, is refused and
// the scene there is stays; two dropped at once are refused; a good one,
// dropped or picked, becomes the current scene as the file holds it (the
// picked one, bit for bit, as prallwerk-trace reads it); Save downloads the
// current scene as the page would share it (in Chromium, which lets the
// session choose where downloads go).
async function sceneFiles(page, saved, file, traceFrame) {
  const message = () => page.$eval('#experiment-message', (e) => e.textContent);
  const bodies = async () => (await page.evaluate(() => Module.page.bodies())).trim();
  const drop = (entries) => page.evaluate((entries) => {
    const data = new DataTransfer();
    for (const [name, text] of entries) data.items.add(new File([text], name, {type: 'application/json'}));
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true, cancelable: true}));
  }, entries);
  const before = await bodies();
  const bad = saved.replace('"radius": 0.75', '"radius": -3');
  const badFile = path.join(out, 'bad.json');
  fs.writeFileSync(badFile, bad);
  const picker = await page.$('#scene-file');
  await picker.uploadFile(badFile);
  await until('the picked bad file is refused', async () => (await message()) === 'bad.json: /bodies/0/radius: must be above 0 (it is -3)');
  await frames(page);
  check((await bodies()) === before, 'a bad file picked changed the scene');
  await drop([['dropped-bad.json', bad]]);
  await until('the dropped bad file is refused', async () => (await message()) === 'dropped-bad.json: /bodies/0/radius: must be above 0 (it is -3)');
  await frames(page);
  check((await bodies()) === before, 'a bad file dropped changed the scene');
  await drop([['one.json', saved], ['two.json', saved]]);
  await until('two files dropped are refused', async () => (await message()) === 'One scene file at a time: 2 files were dropped.');
  await frames(page);
  check((await bodies()) === before, 'two files dropped changed the scene');

  await drop([['dropped.json', saved.replace('"velocity": [0.5, 0.25, -2]', '"velocity": [1, 0.25, -2]')]]);
  await until('the dropped file is open', async () => (await message()).startsWith('Opened dropped.json'));
  await frames(page);
  const dropped = await bodies();
  check(dropped !== before && (await page.evaluate(() => Module.page.currentScene())).includes('"velocity": [1, 0.25, -2]'),
        `the dropped file is not the current scene:\n${dropped}`);
  await picker.uploadFile(file);
  await until('the picked file is open', async () => (await message()).startsWith('Opened experiment.json'));
  await frames(page);
  check((await bodies()) === traceFrame(0), `the picked file's bodies differ from its trace:\n${await bodies()}\n${traceFrame(0)}`);

  if (firefox) return;
  const downloads = path.join(out, 'downloads');
  fs.mkdirSync(downloads, {recursive: true});
  const browserSession = await page.browser().target().createCDPSession();
  await browserSession.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.click('#scene-save');
  const name = await until('the scene is saved', () => fs.readdirSync(downloads).find((n) => n.endsWith('.json')));
  check(name === 'A_ball_on_a_box.json', `Save named the file ${name}, not after the scene`);
  const current = await page.evaluate(() => Module.page.currentScene());
  await until('the saved file is whole', () => fs.readFileSync(path.join(downloads, name), 'utf8') === current)
    .catch(() => { throw new Error(`Save wrote ${name}:\n${fs.readFileSync(path.join(downloads, name), 'utf8')}\nnot\n${current}`); });
  console.log(`scene files: bad ones picked and dropped refused, two dropped refused, a dropped and a picked one open, Save wrote ${name}`);
}

// A scene of more bodies than the table shows: the rest stay out of it, and
// Apply gives the program the scene as it was, bit for bit (a -0 spin of a
// body past the table's rows included), with the body added after the
// table's rows.
async function manyBodies(page, saved) {
  const scene = JSON.parse(saved);
  scene.name = 'Many bodies';
  scene.bodies = Array.from({length: 250}, (_, i) => ({kind: 'sphere', radius: 0.25, mass: 1,
    position: [(i % 25) - 12, Math.floor(i / 25) - 5, 1 + i / 1024], spin: [i === 230 ? 'minus zero' : 0.5, 0, 0]}));
  const text = JSON.stringify(scene).replace('"minus zero"', '-0.0');
  check(await page.evaluate((t) => Module.page.openScene('many.json', t), text), 'the scene of 250 bodies is refused');
  const opened = await page.evaluate(() => Module.page.currentScene());
  check(opened.includes('"spin": [-0.0, 0, 0]'), 'the program lost the -0 of body 231');
  const shown = await page.$$eval('#bodies tbody tr', (r) => r.length);
  const more = await page.$eval('#bodies-more', (e) => (e.hidden ? '' : e.textContent));
  check(shown === 200 && more === 'Bodies 201 to 250 are not in the table: they stay as the scene has them.',
        `250 bodies give ${shown} rows and "${more}"`);
  await page.click('#scene-apply');
  await until('the scene of 250 bodies is applied', async () =>
    (await page.$eval('#experiment-message', (e) => e.textContent)).startsWith('Applied'));
  const applied = await page.evaluate(() => Module.page.currentScene());
  check(applied === opened, `Apply changed the scene of 250 bodies:\n${applied}`);
  await page.click('#body-add');
  check(await page.$eval('#bodies-more', (e) => e.textContent) ===
        'Bodies 202 to 251 are not in the table: they stay as the scene has them.', 'Add a body does not move the rest on');
  await page.click('#scene-apply');
  await until('the scene of 251 bodies is applied', async () =>
    (await page.evaluate(() => Module.page.currentScene())).split('"kind"').length === 252);
  const added = await page.evaluate(() => Module.page.currentScene());
  const lines = (t) => t.split('\n').filter((l) => l.includes('"kind"'));
  check(lines(added)[200].includes('"position": [0, 0, 5]') &&
        lines(added).slice(201).join('\n') === lines(opened).slice(200).join('\n'),
        'the added body is not the 201st, before the bodies past the table as they were');
  console.log('many bodies: 200 of 250 in the table, Apply keeps the rest bit for bit, an added body comes after the table\'s rows');
}

// A link as the page shared it before scenes had rules (a version-1 scene,
// deflated, in base64url): it must open as it always did.
const oldLink = 'scene=XY_NboNADITvPIXl84KAhKrlNXKMOCzBKavALrIX-hPx7pUB9ZCjZzzz2c8EAO-BRxuxBpzYDsMX8SOVG3lCo_ZCLC54rKHYZm9' +
                'H0uVLb5k6aOkemCD2BDwPJHvok-3i4g_WcM0N5AbSj-y9aDavDZ0jUSsBAHjiw_lOG9vwjQZQ3K8CrqWBwkCeVY0BHK1o5GQAmSS6OM' +
                'f9qDyrDOAUxB3CATxrSia3S7qkelZWzWpeuDL1xKRotp2b5b-1Iy_7F-U5f6GctsI3pSw0hNvxbVrsoGZNAJpkTf4A';

// The bodies prallwerk-trace gives for a scene file: frame n's lines, as
// Module.page.bodies() prints them. One frame is 1/60 s, as a "." frame.
function traceOf(trace, file, frameCount) {
  const traced = execFileSync(trace, ['--scene-file', file, '--frames', String(frameCount), '--frame-ms', '1000',
                                      '--time-scale', '60'], {encoding: 'utf8'}).trim().split('\n');
  return (n) => traced.filter((l) => l.startsWith(`${n},`)).map((l) => l.slice(`${n},`.length)).join('\n');
}

// The panel's rules, and each row's friction and fixed, as JSON.
const panelRules = (page) => page.evaluate(() => JSON.stringify({
  rules: document.getElementById('scene-rules').value,
  rows: [...document.querySelectorAll('#bodies tbody tr')].map((r) =>
    [r.querySelector('[data-field=friction]').value, r.querySelector('[data-field=fixed]').checked]),
}));

// The rules, friction and fixed in the panel: the physical rules applied
// alone; a fixed box refused under the classic rules with the program's
// message, its box marked; the physical rules chosen again, a friction
// typed and applied, the panel filled back from the program's scene; ten
// "." frames as prallwerk-trace steps the same file, and run for a while
// the ball lands and rests on the fixed box, which stays where it is.
// Returns the scene and the trace of its file.
async function physicalRules(page, type, trace) {
  const message = () => page.$eval('#experiment-message', (e) => e.textContent);
  const bodies = async () => (await page.evaluate(() => Module.page.bodies())).trim().split('\n');
  const scene = {format: 'prallwerk-scene', version: 1, name: 'Ball on a fixed box', bodies: [
    {kind: 'box', size: [4, 4, 1], mass: 2, restitution: 0, position: [0, 0, 3]},
    {kind: 'sphere', radius: 0.5, mass: 1, restitution: 0, position: [0.25, 0, 5]}]};
  check(await page.evaluate((t) => Module.page.openScene('fixed.json', t), JSON.stringify(scene)),
        'the scene of a ball and a box is refused');
  check(await page.$eval('#scene-rules', (e) => e.value) === 'classic', 'a version-1 scene shows other rules than classic');
  // The rules alone make a scene of version 2. The program takes a scene
  // at its next frame.
  const current = () => page.evaluate(() => Module.page.currentScene());
  await page.select('#scene-rules', 'physical');
  await page.click('#scene-apply');
  await until('the physical rules alone are applied', async () => (await current()).includes('"rules": "physical"'));
  await page.select('#scene-rules', 'classic');
  await page.click('#bodies tbody tr:nth-child(1) [data-field=fixed]');
  const refusal = 'fixed.json: /bodies/0/fixed: the classic rules have no fixed bodies (give "rules": "physical")';
  await until('the fixed box is marked under the classic rules', async () => (await message()) === refusal &&
      (await page.$eval('#bodies tbody tr:nth-child(1) [data-field=fixed]', (e) => e.classList.contains('bad') && e.title)) === refusal)
    .catch(async (e) => { throw new Error(`${e.message}: the panel says ${JSON.stringify(await message())}`); });
  await page.select('#scene-rules', 'physical');
  await until('the physical rules take the fixed box', async () => (await message()) === '');
  await type(1, 'friction', '0.8');
  await page.click('#scene-apply');
  const text = await until('the physical scene is applied', async () => {
    const scene = await current();
    return scene.includes('"fixed"') && scene;
  });
  check(/"version": 2,/.test(text) && text.includes('"rules": "physical"') &&
        /"kind": "box",[^\n]*"fixed": true/.test(text) && /"kind": "sphere",[^\n]*"friction": 0.8,/.test(text),
        `the program's scene lost the rules, the fixed box or the friction:\n${text}`);
  const filled = '{"rules":"physical","rows":[["",true],["0.8",false]]}';
  check((await panelRules(page)) === filled, `the panel shows ${await panelRules(page)}, not the program's scene`);

  const file = path.join(out, 'fixed.json');
  fs.writeFileSync(file, text);
  const traceFrame = traceOf(trace, file, 10);
  check((await bodies()).join('\n') === traceFrame(0), 'the physical scene opens with other bodies than its trace');
  await page.focus('#canvas');
  await press(page, 'Period', 10);
  check((await bodies()).join('\n') === traceFrame(10),
        `after ten frames the physical scene's bodies differ from the trace:\n${(await bodies()).join('\n')}\n${traceFrame(10)}`);
  await press(page, 'Space');
  await sleep(500);
  await press(page, 'Space');
  const [box, ball] = await bodies();
  const z = (line) => Number(line.split(',')[4]);
  check(box === traceFrame(0).split('\n')[0], `the fixed box moved: ${box}`);
  check(Math.abs(z(ball) - 4) < 0.01, `the ball does not rest on the fixed box: ${ball}`);
  console.log('the physical rules: a fixed box refused under the classic rules, taken under the physical ones, ' +
              'with a friction as prallwerk-trace steps it; the box stays, the ball rests on it');
  return {text, traceFrame, filled};
}

// The experiment panel: a shipped scene chosen, a body edited (a bad value
// marked with the program's message, and refused), added and removed, the
// scene applied and shared; the link opened in a new page gives the same
// bodies, bit for bit, as prallwerk-trace gives for the saved scene file, at
// 0.00 and after ten "." frames; a bad link keeps the scene there was. Then
// the physical rules in the panel, a physical scene's link reopened with its
// rules, friction and fixed box, and a link shared before the rules opened
// as it always was.
async function experiment(browser, url, trace) {
  const page = await openPage(browser, url, 'experiment');
  await answer(page, 'No');
  await firstFrame(page);
  await page.waitForFunction(() => document.querySelectorAll('#scene-choice option').length > 10, {timeout: 15000});
  const message = () => page.$eval('#experiment-message', (e) => e.textContent);
  const rows = () => page.$$eval('#bodies tbody tr', (r) => r.length);
  const bodies = () => page.evaluate(() => Module.page.bodies());
  const start = await restingPicture(page, 'experiment-start');

  await page.select('#scene-choice', 'ball_on_box.json');
  await until('ball_on_box.json is chosen', async () => (await message()).startsWith('ball_on_box.json') && (await rows()) === 2)
    .catch(async (e) => { throw new Error(`${e.message}: the panel says ${JSON.stringify(await message())} with ${await rows()} rows`); });
  const chosen = await changedPicture(page, start, 'experiment-chosen');

  const field = async (row, name) => page.$(`#bodies tbody tr:nth-child(${row + 1}) [data-field=${name}]`);
  const type = async (row, name, text) => {
    const e = await field(row, name);
    await e.click();
    await e.evaluate((input) => input.select());
    await page.keyboard.press('Backspace');
    await e.type(text);
  };
  await type(0, 'size', '-1');
  const refusal = 'ball_on_box.json: /bodies/0/radius: must be above 0 (it is -1)';
  await until('the bad radius is marked', async () => (await message()) === refusal &&
      (await page.$eval('#bodies tbody tr:nth-child(1) [data-field=size]', (e) => e.classList.contains('bad') && e.title)) === refusal);
  await page.click('#scene-apply');
  await frames(page);
  check((await message()) === refusal && differingPixels(await restingPicture(page, 'experiment-refused'), chosen) === 0,
        'a scene with a bad value was applied');
  await type(0, 'size', '0.75');
  await type(0, 'velocity', '0.5, 0.25 -2');
  await type(1, 'material', 'Holz');
  await until('the fixed radius is taken', async () => (await message()) === '')
    .catch(async (e) => { throw new Error(`${e.message}: the panel says ${JSON.stringify(await message())}`); });
  // The scene's name is checked as it is typed too: a control character in
  // it is refused, and the name's field marked, until it is gone again.
  await page.click('#scene-name');
  await page.keyboard.press('End');
  await page.keyboard.sendCharacter('\u0007');
  const badName = 'ball_on_box.json: /name: must be one line (no control characters)';
  await until('the bad name is marked', async () => (await message()) === badName &&
      (await page.$eval('#scene-name', (e) => e.classList.contains('bad'))))
    .catch(async (e) => { throw new Error(`${e.message}: the panel says ${JSON.stringify(await message())}`); });
  await page.keyboard.press('Backspace');
  await until('the name is taken back', async () => (await message()) === '');
  // And the gravity: two numbers are no vector.
  const gravity = await page.$eval('#scene-gravity', (e) => e.value);
  const typeGravity = async (text) => {
    await page.click('#scene-gravity');
    await page.$eval('#scene-gravity', (e) => e.select());
    await page.keyboard.press('Backspace');
    await page.keyboard.type(text);
  };
  await typeGravity('0, 0');
  await until('the bad gravity is marked', async () => (await message()).startsWith('ball_on_box.json: /gravity') &&
      (await page.$eval('#scene-gravity', (e) => e.classList.contains('bad'))))
    .catch(async (e) => { throw new Error(`${e.message}: the panel says ${JSON.stringify(await message())}`); });
  await typeGravity(gravity);
  await until('the gravity is taken back', async () => (await message()) === '');
  await page.click('#body-add');
  check((await rows()) === 3, 'Add a body adds no row');
  await page.click('#bodies tbody tr:nth-child(3) [data-name=remove]');
  check((await rows()) === 2, 'Remove leaves the row');
  await page.click('#scene-apply');
  await until('the scene is applied', async () => (await message()).startsWith('Applied'));
  const applied = await restingPicture(page, 'experiment-applied');
  check(differingPixels(applied, chosen) > 100, 'Apply does not change the picture');
  const saved = await page.evaluate(() => Module.page.currentScene());
  check(saved.includes('"radius": 0.75') && saved.includes('"velocity": [0.5, 0.25, -2]') &&
        saved.includes('"density": 500'), `the scene saved is not the one edited:\n${saved}`);
  const file = path.join(out, 'experiment.json');
  fs.writeFileSync(file, saved);
  const traceFrame = traceOf(trace, file, 10);
  check(traceFrame(0) !== '' && traceFrame(10) !== '', 'the trace has no frames 0 and 10');

  await page.click('#scene-share');
  const link = await until('a link is shared', () => page.$eval('#share-link', (e) => e.value));
  check(link.startsWith(url + '#scene='), `the link is ${link}`);

  // A bad link, and one that holds no scene, keep the scene there is.
  const before = await bodies();
  const bad = await page.evaluate(async (text) => {
    const stream = new Blob([text]).stream().pipeThrough(new CompressionStream('deflate-raw'));
    const bytes = new Uint8Array(await new Response(stream).arrayBuffer());
    return btoa(String.fromCharCode(...bytes)).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }, saved.replace('"radius": 0.75', '"radius": -2'));
  await page.evaluate((data) => { location.hash = `scene=${data}`; }, bad);
  await until('the bad link is refused', async () => (await message()) === 'link.json: /bodies/0/radius: must be above 0 (it is -2)');
  await page.evaluate(() => { location.hash = 'scene=AAAA'; });
  await until('the broken link is refused', async () => (await message()).startsWith('The link holds no scene'));
  await frames(page);
  check((await bodies()) === before && differingPixels(await restingPicture(page, 'experiment-bad-link'), applied) === 0,
        'a bad link changed the scene');
  await sceneFiles(page, saved, file, traceFrame);
  await manyBodies(page, saved);
  const physical = await physicalRules(page, type, trace);
  const physicalLink = await page.evaluate(() => Module.page.shareLink());
  await page.close();

  // The link in a new page: the same scene, paused at 0.00, bit for bit.
  const shared = await openPage(browser, link, 'shared');
  await answer(shared, 'No');
  await firstFrame(shared);
  await until('the link\'s scene is open', async () => (await shared.$eval('#experiment-message', (e) => e.textContent))
      .startsWith('The scene of the link'));
  await frames(shared);
  const opened = (await shared.evaluate(() => Module.page.bodies())).trim();
  check(opened === traceFrame(0), `the link's bodies differ from the trace of the saved file:\n${opened}\n${traceFrame(0)}`);
  check(differingPixels(await restingPicture(shared, 'shared'), applied) === 0, 'the link shows another picture');
  await shared.focus('#canvas');
  await press(shared, 'Period', 10);
  const stepped = (await shared.evaluate(() => Module.page.bodies())).trim();
  check(stepped === traceFrame(10), `after ten frames the bodies differ from the trace:\n${stepped}\n${traceFrame(10)}`);
  await press(shared, 'KeyR');
  check((await shared.evaluate(() => Module.page.bodies())).trim() === traceFrame(0),
        'R does not bring the link\'s scene back as it was opened');
  console.log('the shared link: the same bodies as prallwerk-trace of the saved file at 0.00 and after ten frames');
  await shared.close();

  // The physical scene's link in a new page: its rules, friction and fixed
  // box, in the program and in the panel.
  const reopened = await openPage(browser, physicalLink, 'shared-physical');
  const reopenedMessage = () => reopened.$eval('#experiment-message', (e) => e.textContent);
  await answer(reopened, 'No');
  await firstFrame(reopened);
  await until('the physical link\'s scene is open', async () => (await reopenedMessage()).startsWith('The scene of the link'));
  // The program takes it at its next frame.
  await until('the physical link\'s scene is the program\'s', async () =>
    (await reopened.evaluate(() => Module.page.currentScene())) === physical.text)
    .catch(async (e) => { throw new Error(`${e.message}:\n${await reopened.evaluate(() => Module.page.currentScene())}`); });
  check((await reopened.evaluate(() => Module.page.bodies())).trim() === physical.traceFrame(0),
        'the physical link\'s bodies differ from the trace of its file');
  const reopenedPanel = await panelRules(reopened);
  check(reopenedPanel === physical.filled, `the physical link's panel shows ${reopenedPanel}`);
  // And an old link there: classic again, its bodies as the native trace
  // reads the same version-1 file.
  const oldFile = path.join(out, 'old-link.json');
  fs.writeFileSync(oldFile, zlib.inflateRawSync(Buffer.from(oldLink.slice('scene='.length), 'base64url')));
  const oldFrame = traceOf(trace, oldFile, 10);
  await reopened.evaluate((hash) => { location.hash = hash; }, oldLink);
  await until('the old link\'s scene is open', async () =>
    (await reopened.evaluate(() => Module.page.currentScene())).includes('"name": "Shared before the rules"'));
  const oldScene = await reopened.evaluate(() => Module.page.currentScene());
  check(/"version": 1,/.test(oldScene) && !oldScene.includes('"rules"'), `the old link opens as\n${oldScene}`);
  check(await reopened.$eval('#scene-rules', (e) => e.value) === 'classic', 'the old link shows other rules than classic');
  check((await reopened.evaluate(() => Module.page.bodies())).trim() === oldFrame(0), 'the old link opens other bodies');
  await reopened.focus('#canvas');
  await press(reopened, 'Period', 10);
  check((await reopened.evaluate(() => Module.page.bodies())).trim() === oldFrame(10),
        'after ten frames the old link\'s bodies differ from the trace of its file');
  console.log('the links: a physical scene\'s reopens with its rules, friction and fixed box; an old one as it did');
  await reopened.close();
}

async function main() {
  fs.rmSync(out, {recursive: true, force: true});
  fs.mkdirSync(out, {recursive: true});
  const linuxFile = path.join(out, 'linux-scene-2.png');
  execFileSync(option('--snapshot'), ['--scene', '1', '--time', '0', '--out', linuxFile]);
  const linux = decodePng(fs.readFileSync(linuxFile));
  const server = await serve(option('--page'));
  const browsers = [];
  try {
    if (firefox) {
      // Firefox through WebDriver BiDi: the windowed session and the
      // experiment. Full screen needs Chromium's emulated screen, the phone
      // its touch emulation and several fingers at once (DevTools protocol).
      browsers.push(await launchFirefox({headless: !process.env.DISPLAY, width: 1200, height: 1000}));
      await windowed(browsers[0], server.url, linux, option('--snapshot'));
      phase('windowed checked');
      await experiment(browsers[0], server.url, option('--trace'));
      phase('experiment checked');
      const errors = consoleLines.filter((l) => / (error|pageerror): /.test(l));
      check(errors.length === 0, `the console has errors:\n${errors.join('\n')}`);
      fs.rmSync(out, {recursive: true, force: true});
      console.log('PASS: the page in Firefox: question, keys, mouse, HUD, same picture, resizes, 24 taps, ' +
                  'the experiment shared by link, end');
      return;
    }
    browsers.push(await launch({width: 1200, height: 1000}));
    if (process.argv.includes('--experiment-only')) {  // for working on the panel
      for (let i = 0; i < Number(option('--experiment-only')); ++i) await experiment(browsers[0], server.url, option('--trace'));
      console.log('PASS: the experiment');
      return;
    }
    // The windowed session in one browser; full screen, the phone and the
    // experiment meanwhile in two others. Each waits for frames and quiet
    // pictures most of its time, so the two take hardly longer than one.
    const rest = async () => {
      const screen = await launch({screen: '1024x768', width: 1024, height: 768});
      browsers.push(screen);
      await fullscreen(screen, server.url);
      phase('full screen checked');
      const other = await launch({width: 1200, height: 1000});
      browsers.push(other);
      await phone(other, server.url);
      phase('phone checked');
      await experiment(other, server.url, option('--trace'));
      phase('experiment checked');
    };
    await Promise.all([windowed(browsers[0], server.url, linux, option('--snapshot')), rest()]);
    const errors = consoleLines.filter((l) => / (error|pageerror): /.test(l));
    check(errors.length === 0, `the console has errors:\n${errors.join('\n')}`);
    fs.rmSync(out, {recursive: true, force: true});
    console.log('PASS: the page in Chromium: question, keys, mouse, HUD, same picture, resizes, full screen, 24 taps, ' +
                'a phone by touch, the experiment shared by link, end');
  } catch (error) {
    shots.forEach((s, i) => fs.writeFileSync(path.join(out, `${String(i).padStart(3, '0')}-${s.name}.png`), s.png));
    fs.writeFileSync(path.join(out, 'console.log'), consoleLines.join('\n') + '\n');
    console.log(`FAIL: ${error.message}\n(screenshots and the console in ${out})`);
    process.exitCode = 1;
  } finally {
    for (const b of browsers) await b.close();
    await server.close();
  }
}

main();
