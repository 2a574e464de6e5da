// A person at the page, in Debian's Chromium, headless: the start question,
// the keys, the mouse, the HUD and the picture (compared with the Linux
// program's), full screen granted, left and refused, 24 instant taps and the
// end. Prints PASS or the first failure; a failure leaves the screenshots
// and the page's console in the --out folder.
//
//   node session.js --page DIR --snapshot PRALLWERK_SNAPSHOT --out DIR
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const path = require('path');
const {serve, launch} = require('./browser');
const {decodePng, compareSquares, differingPixels, findPixels} = require('./pictures');

const option = (name) => process.argv[process.argv.indexOf(name) + 1];
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

async function windowed(browser, url, linux) {
  const page = await openPage(browser, url, 'windowed');
  await answer(page, 'No');
  await firstFrame(page);
  const box = await canvasBox(page);
  check(box.width === 1024 && box.height === 768 && box.pixels === 1024 && box.rows === 768 && !box.fullscreen,
        `No gives a canvas of ${JSON.stringify(box)}, not 1024 x 768 windowed`);

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
  await page.waitForSelector('#ended:not([hidden])', {timeout: 10000});
  check((await page.$eval('#ended', (e) => e.textContent)).includes('Prallwerk has ended.'),
        'the page does not say that the demo has ended');
  await page.close();
}

// Yes on a 1024 x 768 screen: the browser grants full screen; the canvas
// fills it and the program draws. Leaving full screen as the browser does
// for the user's Escape brings the window back windowed, scaled to the
// browser's window. Then a browser that refuses: the mode-switch message,
// and the program goes on windowed.
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
  // As large as the browser's window leaves room for, with 16 pixels around.
  const width = Math.min(1024, box.innerWidth - 32, (box.innerHeight - 32) * 4 / 3);
  check(Math.abs(box.width - width) < 0.01 && Math.abs(box.height - width * 0.75) < 0.01 &&
        box.pixels === Math.round(width) && box.rows === Math.round(box.pixels * 0.75),
        `back from full screen the canvas is ${JSON.stringify(box)}, not ${width} wide with its proportions kept`);
  const windowedAgain = await restingPicture(page, 'windowed-again');
  await page.keyboard.press('F8');
  await changedPicture(page, windowedAgain, 'windowed-again-f8');
  await page.close();

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

async function main() {
  fs.rmSync(out, {recursive: true, force: true});
  fs.mkdirSync(out, {recursive: true});
  const linuxFile = path.join(out, 'linux-scene-2.png');
  execFileSync(option('--snapshot'), ['--scene', '1', '--time', '0', '--out', linuxFile]);
  const linux = decodePng(fs.readFileSync(linuxFile));
  const server = await serve(option('--page'));
  const browsers = [];
  try {
    browsers.push(await launch({width: 1100, height: 900}));
    await windowed(browsers[0], server.url, linux);
    browsers.push(await launch({screen: '1024x768', width: 1024, height: 768}));
    await fullscreen(browsers[1], server.url);
    const errors = consoleLines.filter((l) => / (error|pageerror): /.test(l));
    check(errors.length === 0, `the console has errors:\n${errors.join('\n')}`);
    fs.rmSync(out, {recursive: true, force: true});
    console.log('PASS: the page in Chromium: question, keys, mouse, HUD, same picture, full screen, 24 taps, end');
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
