// The page around the program (built in before the program's own script):
// the canvas that is its window, the dialogs that are its message boxes, and
// the handlers that hand keys, the mouse and what the browser does to the
// page over to the program's event queue (web_platform.cpp). Handlers only
// queue; the program takes the events in its own loop.
Module.page = (function () {
  'use strict';
  const canvas = () => document.getElementById('canvas');
  let windowWidth = 1024;
  let windowHeight = 768;
  let listening = false;
  let keyName = 0;          // where the program reads a key's name
  let frameDone = null;     // ends the wait for the next frame
  let eventArrived = null;  // ends the wait for the next event
  let fullscreenAnswer = null;  // the browser's answer to the request that the user's Yes made
  let frameStart = 0;
  let shown = false;        // the window is open and shown: the hint may show
  const margin = 16;  // CSS pixels around the windowed canvas

  const page = {
    lastFailure: '',
    // Set to an array by a benchmark: every frame's time from the start of
    // its update to the end of its drawing (1 pixel read back), in ms.
    frameTimes: null,
  };

  // The part of the canvas that shows the picture: all of it, or in full
  // screen the largest box of the window's proportions (object-fit: contain).
  function pictureBox() {
    const r = canvas().getBoundingClientRect();
    if (document.fullscreenElement !== canvas()) return r;
    const scale = Math.min(r.width / windowWidth, r.height / windowHeight);
    const width = windowWidth * scale, height = windowHeight * scale;
    return {left: r.left + (r.width - width) / 2, top: r.top + (r.height - height) / 2, width, height};
  }

  // The controls' grid: cells of 52 x 44 CSS pixels, 6 apart.
  const cell = {width: 52, height: 44, gap: 6};
  const focusLine = 22 + 8;  // the line under the picture, and the gap to the controls

  // Where the picture and the controls go in a browser window of width x
  // height CSS pixels: the controls under the picture, in as many rows as
  // they need, or beside it, in as many columns; whichever leaves the
  // picture larger (under it when both do alike). The picture is the
  // window's size at most, with its proportions kept.
  function layout(width, height, controls) {
    const across = width - 2 * margin, down = height - margin;
    const columns = Math.max(1, Math.floor((across + cell.gap) / (cell.width + cell.gap)));
    const under = {side: false, columns: Math.max(1, Math.min(columns, controls))};
    const rowsUnder = Math.ceil(controls / under.columns);
    under.width = Math.min(windowWidth, across, (down - focusLine - rowsUnder * (cell.height + cell.gap)) *
                                                windowWidth / windowHeight);
    const rows = Math.max(1, Math.floor((down - margin + cell.gap) / (cell.height + cell.gap)));
    const beside = {side: true, columns: Math.ceil(controls / rows)};
    beside.width = Math.min(windowWidth, across - beside.columns * (cell.width + cell.gap) - 2 * cell.gap,
                            (down - margin - focusLine) * windowWidth / windowHeight);
    const best = beside.width > under.width + 1 ? beside : under;
    best.width = Math.max(4, Math.floor(best.width / 4) * 4);  // whole pixels both ways
    return best;
  }

  let laidOut = '';  // the window's size and pixel ratio that the layout was made for

  // Windowed, the canvas is the window's size in CSS pixels, or smaller with
  // its proportions kept where the browser's window is smaller, with the
  // controls under or beside it; its drawing buffer has a pixel per device
  // pixel, so that it stays sharp on dense screens. In full screen the
  // canvas fills the screen and shows the picture as large as it fits.
  // Returns the drawing buffer's pixels per window pixel.
  function fit() {
    const c = canvas();
    const ratio = window.devicePixelRatio || 1;
    const full = document.fullscreenElement === c;
    let width;
    if (full) {
      width = pictureBox().width;
      laidOut = '';
    } else {
      const bar = document.getElementById('bar');
      const key = `${window.innerWidth} ${window.innerHeight} ${ratio}`;
      if (key !== laidOut) {
        laidOut = key;
        const place = layout(window.innerWidth, window.innerHeight, bar.children.length);
        document.getElementById('stage').classList.toggle('side', place.side);
        bar.style.setProperty('--columns', place.columns);
        c.style.width = place.width + 'px';
        c.style.height = (place.width * windowHeight / windowWidth) + 'px';
      }
      width = parseFloat(c.style.width);
    }
    const pixels = Math.max(2, Math.round(width * ratio));
    const rows = Math.max(2, Math.round(pixels * windowHeight / windowWidth));
    if (c.width !== pixels) c.width = pixels;
    if (c.height !== rows) c.height = rows;
    return pixels / windowWidth;
  }

  // A mouse position in the window's client pixels, origin top left.
  function clientPoint(e) {
    const box = pictureBox();
    return [Math.floor((e.clientX - box.left) * windowWidth / box.width),
            Math.floor((e.clientY - box.top) * windowHeight / box.height)];
  }

  function inside(x, y) { return x >= 0 && y >= 0 && x < windowWidth && y < windowHeight; }

  function buttonsOf(e) { return (e.buttons & 1) | (e.buttons & 2); }

  function key(e, down) {
    if (!keyName) keyName = Module._prallwerkPageKeyName();
    stringToUTF8(e.code || '', keyName, 32);
    if (Module._prallwerkPageKey(down, e.ctrlKey || e.altKey || e.metaKey ? 1 : 0)) e.preventDefault();
  }

  function move(e) {
    const [x, y] = clientPoint(e);
    if (inside(x, y)) Module._prallwerkPageMouse(0, x, y, buttonsOf(e));
  }

  function button(e, down) {
    if (e.button !== 0 && e.button !== 2) return;
    if (down) {
      const [x, y] = clientPoint(e);
      if (!inside(x, y)) return;
      canvas().focus();
      move(e);
    }
    Module._prallwerkPageMouse(e.button === 0 ? (down ? 1 : 2) : (down ? 3 : 4), 0, 0, 0);
  }

  // A key of the program's, by its virtual-key code, from the page's
  // controls or gestures: down, up, or both at once (a tap: it counts for
  // one frame, as a key tapped faster than a frame does).
  function virtualKey(code, down) { Module._prallwerkPageVirtualKey(code, down ? 1 : 0); }
  function tapKey(code) {
    virtualKey(code, true);
    virtualKey(code, false);
  }

  const vkPageUp = 0x21, vkPageDown = 0x22;

  // A button held for a few of the browser's frames, so that the
  // program's frame sees it held (the program reads buttons once a frame).
  function clickButton(kind) {
    Module._prallwerkPageMouse(kind, 0, 0, 0);
    let left = 3;
    const release = () => (--left > 0 ? requestAnimationFrame(release) : Module._prallwerkPageMouse(kind + 1, 0, 0, 0));
    requestAnimationFrame(release);
  }

  // Touch: one finger turns the scene as the left button does, two fingers
  // pinching apart bring the camera nearer (Page Down) and together move it
  // farther (Page Up), a tap of one frame for every pinchStep CSS pixels,
  // and a double tap turns the scene back as the right button does.
  const pinchStep = 6;
  const touch = {dragging: false, pinch: 0, start: null, lastTap: null};

  function touchPoint(t) {
    const [x, y] = clientPoint(t);
    return [Math.min(Math.max(x, 0), windowWidth - 1), Math.min(Math.max(y, 0), windowHeight - 1)];
  }

  function spread(touches) {
    return Math.hypot(touches[0].clientX - touches[1].clientX, touches[0].clientY - touches[1].clientY);
  }

  function endDrag() {
    if (!touch.dragging) return;
    touch.dragging = false;
    Module._prallwerkPageMouse(2, 0, 0, 0);
  }

  function touchStart(e) {
    e.preventDefault();
    canvas().focus();
    if (e.touches.length === 1) {
      const t = e.touches[0];
      const [x, y] = touchPoint(t);
      Module._prallwerkPageMouse(0, x, y, 0);
      Module._prallwerkPageMouse(1, 0, 0, 0);
      touch.dragging = true;
      touch.start = {x: t.clientX, y: t.clientY, time: performance.now(), moved: false};
    } else {
      endDrag();
      touch.start = null;
      if (e.touches.length === 2) touch.pinch = spread(e.touches);
    }
  }

  function touchMove(e) {
    e.preventDefault();
    if (e.touches.length === 1 && touch.dragging) {
      const t = e.touches[0];
      const [x, y] = touchPoint(t);
      Module._prallwerkPageMouse(0, x, y, 1);
      if (touch.start && Math.hypot(t.clientX - touch.start.x, t.clientY - touch.start.y) > 10) touch.start.moved = true;
    } else if (e.touches.length === 2 && touch.pinch > 0) {
      const now = spread(e.touches);
      while (now - touch.pinch >= pinchStep) {
        tapKey(vkPageDown);
        touch.pinch += pinchStep;
      }
      while (touch.pinch - now >= pinchStep) {
        tapKey(vkPageUp);
        touch.pinch -= pinchStep;
      }
    }
  }

  function touchEnd(e) {
    e.preventDefault();
    if (e.touches.length > 0) {
      if (e.touches.length < 2) touch.pinch = 0;
      return;
    }
    endDrag();
    touch.pinch = 0;
    const start = touch.start;
    touch.start = null;
    if (!start || start.moved || performance.now() - start.time > 300) {
      touch.lastTap = null;
      return;
    }
    const last = touch.lastTap;
    if (last && start.time - last.time < 400 && Math.hypot(start.x - last.x, start.y - last.y) < 30) {
      touch.lastTap = null;
      clickButton(3);
    } else {
      touch.lastTap = start;
    }
  }

  // The controls beside the picture: each sends the key it names. A button
  // marked data-held holds its key while pressed (the camera moves every
  // frame, as while the key is held); the others tap it.
  function listenToBar() {
    const bar = document.getElementById('bar');
    // The canvas keeps the keyboard's focus when a control is pressed.
    bar.addEventListener('mousedown', (e) => e.preventDefault());
    for (const b of bar.querySelectorAll('button')) {
      const code = Number(b.dataset.key);
      if (b.dataset.held === undefined) {
        b.addEventListener('click', () => tapKey(code));
        continue;
      }
      let held = false;
      const release = () => {
        if (held) virtualKey(code, false);
        held = false;
      };
      b.addEventListener('pointerdown', (e) => {
        e.preventDefault();
        if (held) return;
        held = true;
        b.setPointerCapture && b.setPointerCapture(e.pointerId);
        virtualKey(code, true);
      });
      for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) b.addEventListener(type, release);
      // From the keyboard (Enter on the focused button): one frame's worth.
      b.addEventListener('click', (e) => { if (e.detail === 0) tapKey(code); });
    }
  }

  function enableBar(enabled) {
    for (const b of document.querySelectorAll('#bar button')) b.disabled = !enabled;
  }

  // The controls show the program's state: start or pause, the time scale
  // and the wireframe switch.
  let shownState = -1;
  function showState() {
    const state = Module._prallwerkPageState();
    if (state === shownState) return;
    shownState = state;
    const start = document.querySelector('#bar [data-name=start]');
    start.textContent = state & 1 ? '\u275a\u275a' : '\u25b6';
    start.title = (state & 1 ? 'Pause' : 'Start') + ' (Space)';
    document.querySelector('#bar [data-name=wireframe]').setAttribute('aria-pressed', state & 2 ? 'true' : 'false');
    const scale = state >> 8;
    const output = document.getElementById('scale');
    output.textContent = scale === 1 ? '1/1' : `1/${scale}`;
    output.title = `Time scale 1/${scale}: ` + (scale === 1 ? 'real time' : `${scale} times slower than real time`);
  }

  // Keys reach the program only while the canvas has the focus; the hint
  // below the picture says so while it has not.
  function hint() {
    document.getElementById('hint').hidden = !shown || document.activeElement === canvas();
  }

  function listen() {
    if (listening) return;
    listening = true;
    const c = canvas();
    c.addEventListener('keydown', (e) => key(e, 1));
    c.addEventListener('keyup', (e) => key(e, 0));
    c.addEventListener('blur', () => {
      Module._prallwerkPageEvent(0);
      hint();
    });
    c.addEventListener('focus', hint);
    c.addEventListener('mousedown', (e) => button(e, true));
    // Ups and moves count outside the canvas too, so that no drag outlives
    // its button.
    window.addEventListener('mouseup', (e) => button(e, false));
    window.addEventListener('mousemove', move);
    c.addEventListener('contextmenu', (e) => e.preventDefault());
    c.addEventListener('touchstart', touchStart, {passive: false});
    c.addEventListener('touchmove', touchMove, {passive: false});
    c.addEventListener('touchend', touchEnd, {passive: false});
    c.addEventListener('touchcancel', touchEnd, {passive: false});
    listenToBar();
    document.addEventListener('visibilitychange', () => {
      Module._prallwerkPageEvent(document.hidden ? 1 : 2);
      if (document.hidden && frameDone) frameDone();
    });
    document.addEventListener('fullscreenchange', () => {
      if (document.fullscreenElement !== c) Module._prallwerkPageEvent(3);
    });
  }

  // The user's Yes is the only moment a page may ask for full screen: the
  // request is made inside the click (or key) that pressed it.
  function requestFullscreen() {
    const c = canvas();
    const request = c.requestFullscreen ? c.requestFullscreen({navigationUI: 'hide'})
                                        : Promise.reject(new TypeError('no Fullscreen API'));
    fullscreenAnswer = request.then(() => 1, () => 0);
  }

  // Shows a dialog and settles with what pressed it: the answer of the
  // button, or cancelled for Escape. -1 when the browser cannot show one.
  function dialog(id, title, text, answers, cancelled) {
    return new Promise((resolve) => {
      const d = document.getElementById(id);
      if (!d || typeof d.showModal !== 'function') {
        page.lastFailure = 'this browser has no dialog element';
        resolve(-1);
        return;
      }
      d.querySelector('.title').textContent = title;
      d.querySelector('.text').textContent = text;
      const buttons = d.querySelectorAll('button');
      const finish = (answer) => {
        d.oncancel = null;
        buttons.forEach((b) => { b.onclick = null; });
        d.close();
        resolve(answer);
      };
      buttons.forEach((b, i) => { b.onclick = () => finish(answers[i](b)); });
      d.oncancel = (e) => { e.preventDefault(); finish(cancelled); };
      d.showModal();
      buttons[0].focus();
    });
  }

  page.ask = (title, text) =>
    dialog('question', title, text, [() => { requestFullscreen(); return 1; }, () => 0], 0);

  page.warn = (title, text) => dialog('warning', title, text, [() => 2], 2);

  page.enterFullscreen = () => {
    const answer = fullscreenAnswer;
    fullscreenAnswer = null;
    return answer || 0;
  };

  page.leaveFullscreen = () => {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  };

  page.showCursor = (shown) => { canvas().style.cursor = shown ? '' : 'none'; };

  page.openWindow = (title, width, height, fullscreen) => {
    document.title = title;
    windowWidth = width;
    windowHeight = height;
    canvas().classList.toggle('fullscreen', fullscreen);
    listen();
    return fit();
  };

  page.showWindow = () => {
    document.getElementById('status').hidden = true;
    shown = true;
    enableBar(true);
    showState();
    canvas().focus();
    hint();
  };

  page.closeWindow = () => {
    canvas().classList.remove('fullscreen');
    shown = false;
    enableBar(false);
    hint();
  };

  // Waits for the browser's next frame; the frame just drawn shows then. A
  // hidden page has no frames: the wait ends at once.
  page.nextFrame = () => {
    if (page.frameTimes) {
      const gl = canvas().getContext('webgl2');
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4));
      if (frameStart) page.frameTimes.push(performance.now() - frameStart);
    }
    return new Promise((resolve) => {
      const done = () => {
        frameDone = null;
        if (!performance.getEntriesByName('prallwerk-first-frame').length) performance.mark('prallwerk-first-frame');
        frameStart = performance.now();
        if (shown) showState();
        resolve(fit());
      };
      frameDone = done;
      if (document.hidden) done();
      else requestAnimationFrame(() => { if (frameDone === done) done(); });
    });
  };

  // The end: the picture and its controls go, and the page says so.
  page.ended = () => {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    document.getElementById('stage').hidden = true;
    document.getElementById('ended').hidden = false;
    shown = false;
    hint();
    document.querySelector('#ended button').focus();
  };

  page.nextEvent = () => new Promise((resolve) => { eventArrived = resolve; });

  page.wake = () => {
    const arrived = eventArrived;
    eventArrived = null;
    if (arrived) arrived();
  };

  // Before the program opens its window (while the start question shows)
  // the canvas and the controls already take their place, so that the page
  // is no wider than the browser's window.
  function fitUntilOpen() {
    if (!listening) fit();
  }
  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', fitUntilOpen);
  else fitUntilOpen();
  window.addEventListener('resize', fitUntilOpen);

  return page;
})();

