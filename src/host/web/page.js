// The page around the kaleidoscope: canvas size, frames, settings, full screen, the user's
// pictures and their storage. Drawing and the making of props are the program's
// (orvane-web.wasm); nothing the user adds leaves the browser.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const params = new URLSearchParams(location.search);

  // One line at the foot of the page; a later line replaces it.
  let messageTimer = 0;
  function say(text) {
    $('message').textContent = text;
    clearTimeout(messageTimer);
    messageTimer = setTimeout(() => { $('message').textContent = ''; }, 8000);
  }

  function intParam(name, low, high, fallback) {
    const text = params.get(name);
    if (text === null || !/^\d+$/.test(text)) return fallback;
    return Math.min(high, Math.max(low, Number(text)));
  }
  const slowest = 25;
  const reducedMotion = matchMedia('(prefers-reduced-motion: reduce)').matches;
  const settings = {
    mirrors: params.get('mirrors') !== '0',
    speed: intParam('speed', slowest, 200, reducedMotion ? slowest : 100),
    fps: params.get('fps') === '1',
  };
  const seed = intParam('seed', 0, 2147483647, -1);
  // The test hook: with ?test the page draws only the frames a test asks for, on its clock.
  const testing = params.has('test');

  // The settings in the address, so that a link gives them again.
  function keepSettings() {
    const p = new URLSearchParams(location.search);
    p.set('mirrors', settings.mirrors ? '1' : '0');
    p.set('speed', String(settings.speed));
    if (settings.fps) p.set('fps', '1'); else p.delete('fps');
    history.replaceState(null, '', '?' + p.toString());
  }

  // The browser's storage: the user's own prop file and a prop file they dropped.
  const storage = (() => {
    let db = null;
    const opened = new Promise((resolve) => {
      try {
        const request = indexedDB.open('orvane', 1);
        request.onupgradeneeded = () => request.result.createObjectStore('files');
        request.onsuccess = () => { db = request.result; resolve(); };
        request.onerror = () => resolve();
      } catch (e) { resolve(); }
    });
    function run(mode, act) {
      return opened.then(() => new Promise((resolve) => {
        if (!db) { resolve(null); return; }
        const request = act(db.transaction('files', mode).objectStore('files'));
        request.onsuccess = () => resolve(request.result ?? null);
        request.onerror = () => resolve(null);
      }));
    }
    return {
      get: (key) => run('readonly', (s) => s.get(key)),
      put: (key, bytes) => run('readwrite', (s) => s.put(bytes, key)),
      remove: (key) => run('readwrite', (s) => s.delete(key)),
    };
  })();

  let orvane = null;  // the program
  const ownFile = '/own/props.prp';
  const droppedFile = '/own/dropped.prp';

  function exists(path) { try { orvane.FS.stat(path); return true; } catch (e) { return false; } }
  function propsIn(path) { return exists(path) ? orvane.ccall('orvane_props_in_file', 'number', ['string'], [path]) : 0; }
  function showMine() {
    const own = propsIn(ownFile), dropped = propsIn(droppedFile);
    const parts = [];
    if (own) parts.push(own === 1 ? '1 of your pictures' : `${own} of your pictures`);
    if (dropped) parts.push(`${dropped} props of your prop file`);
    $('mine').textContent = parts.length ? parts.join(', ') + ' (kept in this browser)' : 'Drop pictures here to see them.';
    $('forget').hidden = parts.length === 0;
  }

  // The canvas at the device's pixel resolution, always the window's size.
  function sizeCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width === width && canvas.height === height) return;
    canvas.width = width;
    canvas.height = height;
    if (orvane) orvane._orvane_resize(width, height);
  }

  // Frames come from requestAnimationFrame; the clock counts only time shown, a step of at
  // most a tenth of a second, so a hidden page resumes where it was.
  let counts = 0, last = null, running = false, frames = 0, fpsStart = 0;
  function frame(now) {
    if (!running) return;
    if (last !== null) counts += Math.min(now - last, 100) * 1000;
    last = now;
    sizeCanvas();
    orvane._orvane_frame(counts, settings.mirrors ? 1 : 0);
    ++frames;
    if (now - fpsStart >= 1000) {
      $('fps').textContent = `${Math.round(frames * 1000 / (now - fpsStart))} frames a second`;
      frames = 0;
      fpsStart = now;
    }
    requestAnimationFrame(frame);
  }
  function run(on) {
    if (testing || on === running) return;
    running = on;
    last = null;
    if (on) requestAnimationFrame(frame);
  }
  document.addEventListener('visibilitychange', () => run(!document.hidden));

  // Full screen on a click, a tap or F; Escape or the browser's own way leaves it.
  function goFullScreen() {
    if (document.fullscreenElement || !document.documentElement.requestFullscreen) return;
    document.documentElement.requestFullscreen().catch(() => {});
  }
  canvas.addEventListener('click', goFullScreen);
  document.addEventListener('keydown', (e) => {
    if ((e.key === 'f' || e.key === 'F') && !e.ctrlKey && !e.metaKey && !e.altKey) goFullScreen();
  });

  // The panel shows while the pointer moves and hides itself after a few still seconds.
  let panelTimer = 0;
  function showPanel() {
    $('panel').classList.remove('hidden');
    clearTimeout(panelTimer);
    panelTimer = setTimeout(() => { if (!$('panel').matches(':hover')) $('panel').classList.add('hidden'); else showPanel(); }, 3000);
  }
  for (const event of ['pointermove', 'pointerdown', 'keydown']) document.addEventListener(event, showPanel);

  function bindSettings() {
    $('mirrors').checked = settings.mirrors;
    $('speed').value = settings.speed;
    $('speed-value').textContent = `${settings.speed} %`;
    $('show-fps').checked = settings.fps;
    $('fps').hidden = !settings.fps;
    $('mirrors').addEventListener('change', () => { settings.mirrors = $('mirrors').checked; keepSettings(); });
    $('speed').addEventListener('input', () => {
      settings.speed = Number($('speed').value);
      $('speed-value').textContent = `${settings.speed} %`;
      orvane._orvane_set_speed(settings.speed);
      keepSettings();
    });
    $('show-fps').addEventListener('change', () => {
      settings.fps = $('show-fps').checked;
      $('fps').hidden = !settings.fps;
      keepSettings();
    });
  }

  const addFailures = {
    1: (name) => `${name} is too large to be read here.`,
    2: (name) => `${name} cannot be made into a prop.`,
    3: () => 'Your pictures are full: remove them to add others.',
    4: () => 'Your pictures are full: remove them to add others.',
    5: () => 'Your pictures could not be stored.',
  };

  // A picture the browser decodes becomes a prop of the user's own file; a prop file that
  // holds props is kept as one. The error, or null.
  async function addFile(file) {
    // As large as a picture file read anywhere; a larger one is not read into memory at all.
    if (file.size > 256 * 1024 * 1024) return addFailures[1](file.name);
    const bytes = new Uint8Array(await file.arrayBuffer());
    let bitmap = null;
    try { bitmap = await createImageBitmap(new Blob([bytes])); } catch (e) { bitmap = null; }
    if (bitmap) {
      const { width, height } = bitmap;
      if (width * height > 40000000) return addFailures[1](file.name);
      const scratch = document.createElement('canvas');
      scratch.width = width;
      scratch.height = height;
      const context = scratch.getContext('2d');
      context.drawImage(bitmap, 0, 0);
      const rgba = context.getImageData(0, 0, width, height).data;
      const at = orvane._malloc(rgba.length);
      if (!at) return addFailures[1](file.name);
      orvane.HEAPU8.set(rgba, at);
      const result = orvane.ccall('orvane_add_picture', 'number', ['number', 'number', 'number', 'string'],
                                  [at, width, height, file.name]);
      orvane._free(at);
      if (result !== 0) return addFailures[result](file.name);
      await storage.put('props.prp', orvane.FS.readFile(ownFile));
      return null;
    }
    const check = '/own/check.prp';
    orvane.FS.writeFile(check, bytes);
    if (propsIn(check) > 0) {
      orvane.FS.rename(check, droppedFile);
      await storage.put('dropped.prp', bytes);
      return null;
    }
    orvane.FS.unlink(check);
    return `${file.name} is not a picture or a prop file.`;
  }

  async function addFiles(files) {
    let added = 0, failure = null;
    for (const file of files) {
      const problem = await addFile(file);
      if (problem) failure = problem; else ++added;
    }
    if (added) {
      orvane._orvane_rebuild();
      showMine();
    }
    if (failure) say(failure);
    else if (added) say(added === 1 ? `${files[0].name} added.` : `${added} files added.`);
  }

  async function forget() {
    for (const [key, path] of [['props.prp', ownFile], ['dropped.prp', droppedFile]]) {
      await storage.remove(key);
      if (exists(path)) orvane.FS.unlink(path);
    }
    orvane._orvane_rebuild();
    showMine();
    say('Your pictures were removed from this browser.');
  }

  function bindPictures() {
    window.addEventListener('dragover', (e) => e.preventDefault());
    window.addEventListener('drop', (e) => {
      e.preventDefault();
      if (e.dataTransfer && e.dataTransfer.files.length) addFiles([...e.dataTransfer.files]);
    });
    $('add').addEventListener('click', () => $('file').click());
    $('file').addEventListener('change', () => { addFiles([...$('file').files]); $('file').value = ''; });
    $('forget').addEventListener('click', forget);
  }

  async function main() {
    if (typeof WebGL2RenderingContext === 'undefined') {
      say('This browser has no WebGL 2, which the kaleidoscope needs.');
      return;
    }
    orvane = await createOrvane({ canvas });
    orvane.FS.mkdir('/own');
    orvane.FS.mkdir('/samples');
    try {
      const samples = await fetch('props.prp');
      if (samples.ok) orvane.FS.writeFile('/samples/props.prp', new Uint8Array(await samples.arrayBuffer()));
    } catch (e) { /* no samples: the kaleidoscope shows the user's props, or none */ }
    for (const [key, path] of [['props.prp', ownFile], ['dropped.prp', droppedFile]]) {
      const bytes = await storage.get(key);
      if (bytes instanceof Uint8Array) orvane.FS.writeFile(path, bytes);
    }
    sizeCanvas();
    if (orvane._orvane_start(canvas.width, canvas.height, seed, settings.speed) !== 0) {
      say('This browser has no WebGL 2, which the kaleidoscope needs.');
      return;
    }
    bindSettings();
    bindPictures();
    showMine();
    window.addEventListener('resize', sizeCanvas);
    if (testing) {
      // Frame k at k / fps seconds of the clock, from frame 0, as orvane-render draws them.
      window.orvaneTest = {
        render(count, fps) {
          for (let k = 0; k < count; ++k) orvane._orvane_frame(Math.round(k * 1000000 / fps), settings.mirrors ? 1 : 0);
        },
        pixels() {
          const size = canvas.width * canvas.height * 4;
          const at = orvane._malloc(size);
          orvane._orvane_read_pixels(at);
          const copy = orvane.HEAPU8.slice(at, at + size);
          orvane._free(at);
          return { width: canvas.width, height: canvas.height, rgba: toBase64(copy) };
        },
      };
    }
    // For the test and the curious: the atlas's props and the seconds the page was shown.
    window.orvaneReady = { propCount: () => orvane._orvane_prop_count(), shownSeconds: () => counts / 1e6 };
    run(!document.hidden);
  }

  function toBase64(bytes) {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }

  main().catch((e) => say(`The kaleidoscope could not start: ${e.message || e}`));
})();
