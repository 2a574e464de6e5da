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

  // Windowed, the canvas is the window's size in CSS pixels, or smaller with
  // its proportions kept where the browser's window is smaller; its drawing
  // buffer has a pixel per device pixel, so that it stays sharp on dense
  // screens. Returns the drawing buffer's pixels per window pixel.
  function fit() {
    const c = canvas();
    let width = pictureBox().width;
    if (document.fullscreenElement !== c) {
      width = Math.max(2, Math.min(windowWidth, window.innerWidth - 2 * margin,
                                   (window.innerHeight - 2 * margin) * windowWidth / windowHeight));
      const cssWidth = width + 'px', cssHeight = (width * windowHeight / windowWidth) + 'px';
      if (c.style.width !== cssWidth) c.style.width = cssWidth;
      if (c.style.height !== cssHeight) c.style.height = cssHeight;
    }
    const pixels = Math.max(2, Math.round(width * (window.devicePixelRatio || 1)));
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
    canvas().focus();
    hint();
  };

  page.closeWindow = () => {
    canvas().classList.remove('fullscreen');
    shown = false;
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
        resolve(fit());
      };
      frameDone = done;
      if (document.hidden) done();
      else requestAnimationFrame(() => { if (frameDone === done) done(); });
    });
  };

  page.ended = () => {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    document.getElementById('ended').hidden = false;
    canvas().hidden = true;
    shown = false;
    hint();
  };

  page.nextEvent = () => new Promise((resolve) => { eventArrived = resolve; });

  page.wake = () => {
    const arrived = eventArrived;
    eventArrived = null;
    if (arrived) arrived();
  };

  return page;
})();

