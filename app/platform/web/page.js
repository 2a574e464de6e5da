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
      const key = `${window.innerWidth} ${document.documentElement.clientWidth} ${window.innerHeight} ${ratio}`;
      if (key !== laidOut) {
        laidOut = key;
        // A phone's browser widens its layout viewport (innerWidth) to
        // whatever is wider than the screen; the root's client width stays
        // the screen's.
        const place = layout(Math.min(window.innerWidth, document.documentElement.clientWidth || window.innerWidth),
                             window.innerHeight, bar.children.length);
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
      // Times of the touches themselves: a busy page may take them late.
      touch.start = {x: t.clientX, y: t.clientY, time: e.timeStamp, moved: false};
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
    if (!start || start.moved || e.timeStamp - start.time > 300) {
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

  // ---- The experiment panel: a scene to change, open, save and share ----

  const byId = (id) => document.getElementById(id);

  // Texts to and from the program's memory.
  function toProgram(text) {
    const bytes = new TextEncoder().encode(text);
    const at = Module._prallwerkPageAlloc(bytes.length + 1);
    HEAPU8.set(bytes, at);
    HEAPU8[at + bytes.length] = 0;
    return at;
  }
  function fromProgram(at) {
    let end = at;
    while (HEAPU8[end] !== 0) ++end;
    const text = new TextDecoder().decode(HEAPU8.slice(at, end));
    Module._prallwerkPageFree(at);
    return text;
  }
  function withTexts(call, ...texts) {
    const at = texts.map(toProgram);
    try {
      return call(...at);
    } finally {
      at.forEach((a) => Module._prallwerkPageFree(a));
    }
  }

  // The program's verdict on a scene file's text: {scene} the scene as the
  // program writes it, or {error} the program's one line on why not.
  function checkScene(name, text) {
    const answer = fromProgram(withTexts(Module._prallwerkPageCheckScene, name, text));
    return answer[0] === '+' ? {scene: answer.slice(1)} : {error: answer.slice(1)};
  }

  page.currentScene = () => fromProgram(Module._prallwerkPageCurrentScene());
  page.bodies = () => fromProgram(Module._prallwerkPageBodies());

  // The table's texts become the scene file's JSON as they are typed, so
  // that the program reads every number from the visitor's own digits. A
  // text that is no JSON number goes in as a string, which the program
  // refuses with its own message for the field.
  const numberPattern = /^-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?$/;
  const jsonNumber = (t) => (numberPattern.test(t) ? t : JSON.stringify(t));
  const tokens = (text) => text.replace(/[[\]]/g, ' ').trim().split(/[\s,;]+/).filter(Boolean);
  const jsonVector = (text) => `[${tokens(text).map(jsonNumber).join(', ')}]`;
  const numberText = (v) => (Object.is(v, -0) ? '-0.0' : String(v));
  const vectorText = (v) => (v ? v.map(numberText).join(' ') : '');
  const vectorFields = ['position', 'velocity', 'spin', 'angles'];
  // The table's column of each field of a body in the program's messages.
  const fieldColumn = {kind: 'kind', radius: 'size', size: 'size', mass: 'material', density: 'material',
                       material: 'material', restitution: 'restitution', friction: 'friction', fixed: 'fixed',
                       position: 'position', velocity: 'velocity', spin: 'spin', angles: 'angles'};

  let sceneFile = 'experiment.json';  // the name the table's scene goes by
  let watch = '';                     // the scene's line on what to watch, kept as it came
  let checkTimer = 0;
  // A table of thousands of rows takes the browser seconds to lay out: the
  // bodies past the first rows stay out of it, as the scene had them, and
  // follow the table's rows in the scene.
  const tableRows = 200;
  let untabled = [];  // the JSON texts of the bodies past the table's rows

  function bodyRows() { return [...byId('bodies').tBodies[0].rows]; }

  function renumber() {
    const rows = bodyRows();
    rows.forEach((row, i) => { row.cells[0].textContent = String(i + 1); });
    const more = byId('bodies-more');
    more.hidden = untabled.length === 0;
    more.textContent = `Bodies ${rows.length + 1} to ${rows.length + untabled.length} are not in the table: ` +
                       'they stay as the scene has them.';
  }

  // A body of a scene as JSON, every number as the scene held it (-0
  // included, which JSON.stringify would write as 0).
  function bodyText(body) {
    const value = (v) => (typeof v === 'number' ? numberText(v)
                          : Array.isArray(v) ? `[${v.map(value).join(', ')}]` : JSON.stringify(v));
    return `{${Object.entries(body).map(([k, v]) => `${JSON.stringify(k)}: ${value(v)}`).join(', ')}}`;
  }

  function input(field, value, wide = true) {
    const e = document.createElement('input');
    e.dataset.field = field;
    e.value = value;
    if (!wide) e.className = 'one';
    e.setAttribute('aria-label', field);
    return e;
  }

  function addRow(body) {
    const row = document.createElement('tr');
    const cell = (content) => {
      const td = row.insertCell();
      if (content) td.append(content);
      return td;
    };
    cell(null);
    const kind = document.createElement('select');
    kind.dataset.field = 'kind';
    kind.setAttribute('aria-label', 'kind');
    for (const k of ['sphere', 'box']) kind.add(new Option(k, k));
    kind.value = body.kind === 'box' ? 'box' : 'sphere';
    cell(kind);
    cell(input('size', body.kind === 'box' ? vectorText(body.size) : numberText(body.radius ?? '')));
    const material = 'material' in body ? body.material : 'mass' in body ? `mass ${numberText(body.mass)}`
                   : 'density' in body ? `density ${numberText(body.density)}` : '';
    cell(input('material', material));
    cell(input('restitution', 'restitution' in body ? numberText(body.restitution) : '', false));
    cell(input('friction', 'friction' in body ? numberText(body.friction) : '', false));
    const fixed = input('fixed', '');
    fixed.type = 'checkbox';
    fixed.checked = body.fixed === true;
    cell(fixed);
    for (const f of vectorFields) cell(input(f, vectorText(body[f])));
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = 'Remove';
    remove.dataset.name = 'remove';
    remove.addEventListener('click', () => {
      row.remove();
      renumber();
      checkSoon();
    });
    cell(remove);
    byId('bodies').tBodies[0].append(row);
  }

  function bodyJson(row) {
    const value = (f) => row.querySelector(`[data-field=${f}]`).value.trim();
    const parts = [`"kind": ${JSON.stringify(value('kind'))}`];
    const size = tokens(value('size'));
    if (value('kind') === 'box') parts.push(`"size": ${jsonVector(value('size'))}`);
    else parts.push(`"radius": ${size.length === 1 ? jsonNumber(size[0]) : jsonVector(value('size'))}`);
    const material = value('material');
    if (material) {
      const [word, number, ...rest] = tokens(material);
      if (/^(mass|density)$/i.test(word) && rest.length === 0) {
        parts.push(`"${word.toLowerCase()}": ${jsonNumber(number || '')}`);
      } else if (numberPattern.test(word) && number === undefined) {
        parts.push(`"mass": ${word}`);
      } else {
        parts.push(`"material": ${JSON.stringify(material)}`);
      }
    }
    if (value('restitution')) parts.push(`"restitution": ${jsonNumber(value('restitution'))}`);
    if (value('friction')) parts.push(`"friction": ${jsonNumber(value('friction'))}`);
    if (row.querySelector('[data-field=fixed]').checked) parts.push('"fixed": true');
    for (const f of vectorFields) if (value(f)) parts.push(`"${f}": ${jsonVector(value(f))}`);
    return `{${parts.join(', ')}}`;
  }

  // Version 1 has no rules, friction or fixed bodies: a table that uses
  // none of them is written as version 1, the version the program writes
  // for it too. A fixed body under the classic rules goes in as it is, for
  // the program to refuse with its own message.
  function tableScene() {
    const gravity = byId('scene-gravity').value.trim();
    const rules = byId('scene-rules').value;
    const bodies = bodyRows().map(bodyJson).concat(untabled);
    const newer = rules !== 'classic' || bodies.some((b) => /"(friction|fixed)":/.test(b));
    return `{"format": "prallwerk-scene", "version": ${newer ? 2 : 1}, ` +
           `"name": ${JSON.stringify(byId('scene-name').value)}, "watch": ${JSON.stringify(watch)}` +
           `${newer ? `, "rules": ${JSON.stringify(rules)}` : ''}` +
           `${gravity ? `, "gravity": ${jsonVector(gravity)}` : ''}, "bodies": [\n` + bodies.join(',\n') + '\n]}\n';
  }

  function fillTable(text) {
    const scene = JSON.parse(text);
    byId('scene-name').value = scene.name || '';
    byId('scene-gravity').value = vectorText(scene.gravity);
    byId('scene-rules').value = scene.rules || 'classic';
    watch = scene.watch || '';
    byId('bodies').tBodies[0].textContent = '';
    for (const body of scene.bodies.slice(0, tableRows)) addRow(body);
    untabled = scene.bodies.slice(tableRows).map(bodyText);
    renumber();
  }

  // Shows the program's verdict: the message, and with marking the field
  // of the table it names.
  function showVerdict(verdict, marking) {
    for (const e of document.querySelectorAll('#experiment .bad')) {
      e.classList.remove('bad');
      e.removeAttribute('title');
    }
    const message = byId('experiment-message');
    // A scene found good takes back a refusal, not what was said before it.
    if (!verdict.error && !verdict.note && !message.classList.contains('refused')) return;
    message.classList.toggle('refused', !!verdict.error);
    message.textContent = verdict.error || verdict.note || '';
    if (!verdict.error || !marking) return;
    const place = /: \/(?:bodies\/(\d+)\/(\w+)|(gravity)|(name))/.exec(verdict.error);
    let field = null;
    if (place && (place[3] || place[4])) field = byId(place[3] ? 'scene-gravity' : 'scene-name');
    else if (place) {
      const row = bodyRows()[Number(place[1])];
      field = row && row.querySelector(`[data-field=${fieldColumn[place[2]] || 'kind'}]`);
    }
    if (field) {
      field.classList.add('bad');
      field.title = verdict.error;
    }
  }

  function checkTable() {
    const verdict = checkScene(sceneFile, tableScene());
    showVerdict(verdict, true);
    return !verdict.error;
  }

  function checkSoon() {
    clearTimeout(checkTimer);
    checkTimer = setTimeout(checkTable, 150);
  }

  // A scene's text becomes the program's current scene, paused at 0.00, and
  // the table's; refused, the program's message shows and both keep what
  // they had.
  function openScene(name, text, note = '') {
    const verdict = checkScene(name, text);
    if (verdict.error) {
      showVerdict(verdict, false);
      return false;
    }
    if (!withTexts(Module._prallwerkPageOpenScene, name, verdict.scene)) {
      showVerdict({error: 'The demo is not running: nothing can take the scene.'}, false);
      return false;
    }
    sceneFile = name;
    fillTable(verdict.scene);
    showVerdict({note}, false);
    return true;
  }
  page.openScene = openScene;

  function apply() {
    clearTimeout(checkTimer);
    if (checkTable()) openScene(sceneFile, tableScene(), 'Applied: the table is the current scene, paused at 0.00.');
  }

  // Share links hold the scene's text compressed, in base64url.
  async function compress(text) {
    const stream = new Blob([text]).stream().pipeThrough(new CompressionStream('deflate-raw'));
    const bytes = new Uint8Array(await new Response(stream).arrayBuffer());
    let binary = '';
    for (const b of bytes) binary += String.fromCharCode(b);
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }
  async function decompress(data) {
    const binary = atob(data.replace(/-/g, '+').replace(/_/g, '/'));
    const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
    // Written and read by hand rather than piped or read whole: a broken
    // link fails the writes too, and Firefox reports a failed pipe or
    // Response as an error of the page's.
    const inflate = new DecompressionStream('deflate-raw');
    const writer = inflate.writable.getWriter();
    writer.write(bytes).catch(() => {});
    writer.close().catch(() => {});
    const reader = inflate.readable.getReader();
    const parts = [];
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      parts.push(value);
    }
    return new TextDecoder().decode(await new Blob(parts).arrayBuffer());
  }
  page.shareLink = async () => `${location.href.split('#')[0]}#scene=${await compress(page.currentScene())}`;

  async function share() {
    const link = await page.shareLink();
    byId('share-link').value = link;
    byId('share-row').hidden = false;
    byId('share-link').select();
    let copied = false;
    try {
      await navigator.clipboard.writeText(link);
      copied = true;
    } catch (e) { /* the visitor copies it from the field */ }
    showVerdict({note: `The link below opens the current scene, paused at 0.00${copied ? ' (copied)' : ''}.`}, false);
  }

  // The scene of the link the page was opened with (or that it now shows).
  async function openLink() {
    const m = /^#scene=(.*)$/.exec(location.hash);
    if (!m) return;
    let text;
    try {
      text = await decompress(m[1]);
    } catch (e) {
      showVerdict({error: 'The link holds no scene that can be read: it was cut short or changed.'}, false);
      return;
    }
    openScene('link.json', text, 'The scene of the link, paused at 0.00.');
  }

  function save() {
    const text = page.currentScene();
    const name = (JSON.parse(text).name || 'scene').replace(/[^\w.-]+/g, '_') + '.json';
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([text], {type: 'application/json'}));
    a.download = name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  }

  async function openFile(file) {
    if (!file) return;
    openScene(file.name, await file.text(), `Opened ${file.name}: the current scene, paused at 0.00.`);
  }

  async function chooseScene() {
    const file = byId('scene-choice').value;
    if (!file) return;
    try {
      const response = await fetch(`scenes/${file}`);
      if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
      openScene(file, await response.text(), `${file}: the current scene, paused at 0.00.`);
    } catch (e) {
      showVerdict({error: `${file} cannot be fetched: ${e.message}`}, false);
    }
  }

  let panelReady = false;
  async function listenToPanel() {
    if (panelReady) return;
    panelReady = true;
    byId('scene-choice').addEventListener('change', chooseScene);
    byId('scene-open').addEventListener('click', () => byId('scene-file').click());
    byId('scene-file').addEventListener('change', (e) => {
      openFile(e.target.files[0]);
      e.target.value = '';
    });
    byId('scene-save').addEventListener('click', save);
    byId('scene-share').addEventListener('click', share);
    byId('body-add').addEventListener('click', () => {
      addRow({kind: 'sphere', radius: 1, position: [0, 0, 5], velocity: [0, 0, -0.1]});
      renumber();
      checkSoon();
    });
    byId('scene-apply').addEventListener('click', apply);
    // What is typed in the table and the fields above it is checked as it
    // changes; the scene's choice and the file picker open scenes instead.
    const edits = (e) => e.target.closest('#bodies') || ['scene-name', 'scene-gravity', 'scene-rules'].includes(e.target.id);
    byId('experiment').addEventListener('input', (e) => { if (edits(e)) checkSoon(); });
    byId('experiment').addEventListener('change', (e) => { if (edits(e)) checkSoon(); });
    document.addEventListener('dragover', (e) => e.preventDefault());
    document.addEventListener('drop', (e) => {
      e.preventDefault();
      const files = e.dataTransfer ? e.dataTransfer.files : [];
      if (files.length === 1) openFile(files[0]);
      else if (files.length > 1) showVerdict({error: `One scene file at a time: ${files.length} files were dropped.`}, false);
    });
    window.addEventListener('hashchange', openLink);
    fillTable(page.currentScene());
    try {
      const names = await (await fetch('scenes/index.json')).json();
      for (const name of names) {
        const prepared = /^scene(\d)\.json$/.exec(name);
        byId('scene-choice').add(new Option(prepared ? `Prepared scene ${Number(prepared[1]) + 1} of 4` : name, name));
      }
    } catch (e) { /* the list stays empty but for the files the visitor opens */ }
    openLink();
  }

  function enablePanel(enabled) {
    for (const id of ['scene-choice', 'scene-open', 'scene-save', 'scene-share', 'body-add', 'scene-apply']) {
      byId(id).disabled = !enabled;
    }
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
    enablePanel(true);
    showState();
    listenToPanel();
    canvas().focus();
    hint();
  };

  page.closeWindow = () => {
    canvas().classList.remove('fullscreen');
    shown = false;
    enableBar(false);
    enablePanel(false);
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
    document.getElementById('experiment').hidden = true;
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

