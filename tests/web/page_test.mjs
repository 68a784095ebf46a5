// The web page in headless Chromium (SwiftShader's WebGL 2), served from 127.0.0.1 by
// python3 -m http.server: a moving, centred, mirror-symmetric kaleidoscope without a console
// error; a frame at a fixed seed and clock as orvane-render draws it; a click asking for full
// screen; a dropped picture in the atlas, kept across a reload and removed; one line for a file
// that is not a picture.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [webDir, renderTool] = process.argv.slice(2);
const failures = [];
const check = (ok, what) => { console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`); if (!ok) failures.push(what); };

// The server on a port of its choosing.
const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1'], { cwd: webDir });
const port = await new Promise((resolve, reject) => {
  server.stdout.on('data', (d) => { const m = /port (\d+)/.exec(String(d)); if (m) resolve(m[1]); });
  server.on('exit', () => reject(new Error('http.server ended')));
});
const site = `http://127.0.0.1:${port}/`;
const browser = await puppeteer.launch({
  executablePath: '/usr/lib/chromium/chromium', headless: true,
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});

// A page in a fresh profile (storage of its own), its console errors collected.
const errors = [];
async function open(context, query, width, height, prepare = async () => {}) {
  const page = await context.newPage();
  await prepare(page);
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text());});
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('response', (r) => { if (r.status() >= 400) errors.push(`${r.status()} ${r.url()}`); });
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  await page.goto(site + query);
  await page.waitForFunction(() => window.orvaneReady, { timeout: 30000 });
  return page;
}

// What the canvas shows: lit pixels, their centre, and how far the left half fails to mirror the right.
const look = (page) => page.evaluate(() => {
  const c = document.getElementById('canvas');
  const s = document.createElement('canvas');
  s.width = c.width; s.height = c.height;
  const g = s.getContext('2d');
  g.drawImage(c, 0, 0);
  const d = g.getImageData(0, 0, c.width, c.height).data;
  let lit = 0, sx = 0, sy = 0, unlike = 0, green = 0, red = 0;
  for (let y = 0; y < c.height; ++y) {
    for (let x = 0; x < c.width; ++x) {
      const i = (y * c.width + x) * 4, m = (y * c.width + (c.width - 1 - x)) * 4;
      const on = d[i] + d[i + 1] + d[i + 2] > 48;
      if (on) { ++lit; sx += x; sy += y; }
      if (Math.abs(d[i] - d[m]) + Math.abs(d[i + 1] - d[m + 1]) + Math.abs(d[i + 2] - d[m + 2]) > 120) ++unlike;
      if (d[i + 1] > 150 && d[i] < 90 && d[i + 2] < 90) ++green;
      if (d[i] > 150 && d[i + 1] < 40 && d[i + 2] < 40) ++red;
    }
  }
  return { lit, cx: sx / lit / c.width, cy: sy / lit / c.height, asymmetry: unlike / Math.max(lit, 1), green, red, pixels: Array.from(d.subarray(0, 4096)).join() };
});

try {
  // The running page at 1280 x 720: moving, centred, symmetric; its frame rate; a click.
  const live = await open(browser.defaultBrowserContext(), '?seed=7', 1280, 720);
  await live.evaluate(() => {
    window.fullscreenAsked = 0;
    const ask = Element.prototype.requestFullscreen;
    Element.prototype.requestFullscreen = function () { ++window.fullscreenAsked; return ask.call(this); };
  });
  await new Promise((r) => setTimeout(r, 2500));
  const frames = await live.evaluate(() => new Promise((resolve) => {
    let n = 0; const start = performance.now();
    const step = () => { ++n; if (performance.now() - start < 3000) requestAnimationFrame(step); else resolve(n * 1000 / (performance.now() - start)); };
    requestAnimationFrame(step);
  }));
  console.log(`frames a second at 1280 x 720 in SwiftShader: ${frames.toFixed(1)}`);
  const looks = [];
  for (let i = 0; i < 4; ++i) { looks.push(await look(live)); await new Promise((r) => setTimeout(r, 400)); }
  check(looks.every((l) => l.lit > 1280 * 720 / 50 && Math.abs(l.cx - 0.5) < 0.05 && Math.abs(l.cy - 0.5) < 0.08), 'the kaleidoscope is lit and centred');
  check(looks.filter((l) => l.asymmetry < 0.02).length >= 2, `mirror-symmetric (${looks.map((l) => l.asymmetry.toFixed(4))})`);
  check(looks.every((l, i) => i === 0 || l.pixels !== looks[i - 1].pixels || l.lit !== looks[i - 1].lit), 'it moves');
  const shown = () => live.evaluate(() => window.orvaneReady.shownSeconds());
  const other = await browser.newPage();
  await other.bringToFront();  // the kaleidoscope's page is hidden now
  const hidden = await shown();
  await new Promise((r) => setTimeout(r, 1500));
  const stood = (await shown()) - hidden;
  await live.bringToFront();
  await new Promise((r) => setTimeout(r, 1000));
  const went = (await shown()) - hidden - stood;
  check(stood < 0.15 && went > 0.3 && went < 1.4,
    `hidden, its clock stands (${stood.toFixed(2)} s) and goes on from there when shown (${went.toFixed(2)} s of 1)`);
  await other.close();
  await live.setViewport({ width: 640, height: 360, deviceScaleFactor: 2 });
  await live.waitForFunction(() => canvas.width === 1280, { timeout: 5000 }).catch(() => {});
  const size = await live.evaluate(() => `${canvas.width} x ${canvas.height}`);
  check(size === '1280 x 720', `the canvas follows the window at the device's pixel ratio (${size})`);
  await live.keyboard.press('f');
  check(await live.evaluate(() => window.fullscreenAsked) === 1, 'F asks for full screen');
  await live.evaluate(() => document.fullscreenElement && document.exitFullscreen());
  await live.waitForFunction(() => !document.fullscreenElement);
  await live.mouse.click(320, 180);
  check(await live.evaluate(() => window.fullscreenAsked) === 2, 'a click asks for full screen');
  await live.screenshot({ path: join(tmpdir(), 'orvane-web-page.png') });
  await live.close();

  // Settings in the address; a browser that asks for reduced motion starts at the slowest speed.
  const calm = await open(browser.defaultBrowserContext(), '?seed=7&test&mirrors=0', 256, 256,
    (page) => page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value: 'reduce' }]));
  await calm.evaluate(() => window.orvaneTest.render(46, 30));
  const outline = await look(calm);
  const panel = await calm.evaluate(() => [document.getElementById('mirrors').checked, document.getElementById('speed').value]);
  check(outline.red > 50 && outline.asymmetry > 0.05 && panel.join() === 'false,25', `?mirrors=0 draws one wedge and its outline, reduced motion the slowest speed (${panel})`);
  await calm.close();

  // A frame at seed 7, 30 frames a second, frame 45, beside orvane-render's.
  const out = mkdtempSync(join(tmpdir(), 'orvane-web-'));
  execFileSync(renderTool, ['--props', join(webDir, 'props.prp'), '--size', '256x256', '--seed', '7', '--frames', '46', '--fps', '30', '--out', out]);
  const reference = readFileSync(join(out, 'frame-0045.png')).toString('base64');
  const context = await browser.createBrowserContext();
  const fixed = await open(context, '?seed=7&test', 256, 256);
  const differing = await fixed.evaluate(async (png) => {
    window.orvaneTest.render(46, 30);
    const { width, height, rgba } = window.orvaneTest.pixels();
    const page = Uint8Array.from(atob(rgba), (c) => c.charCodeAt(0));
    const image = new Image(); image.src = 'data:image/png;base64,' + png; await image.decode();
    const s = document.createElement('canvas'); s.width = width; s.height = height;
    const g = s.getContext('2d'); g.drawImage(image, 0, 0);
    const want = g.getImageData(0, 0, width, height).data;
    const count = [0, 0];  // beyond 2 / 255, beyond 16 / 255
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) {
        const i = ((height - 1 - y) * width + x) * 4, j = (y * width + x) * 4;  // the page's rows bottom up
        const most = Math.max(...[0, 1, 2].map((c) => Math.abs(page[i + c] - want[j + c])));
        count[0] += most > 2;
        count[1] += most > 16;
      }
    }
    return count;
  }, reference);
  // SwiftShader filters and blends with a precision of its own: small differences on some
  // hundreds of pixels, larger ones only on a few edge pixels.
  check(differing[0] <= 65536 * 0.005 && differing[1] <= 65536 * 0.0005,
    `the frame at a fixed seed and clock is orvane-render's: ${differing[0]} of 65536 pixels differ by more than 2/255 ` +
    `(at most 0.5 %), ${differing[1]} by more than 16/255 (at most 0.05 %)`);

  // A picture dropped on the page becomes the atlas's one prop; kept over a reload; removed.
  const samples = await fixed.evaluate(() => window.orvaneReady.propCount());
  await fixed.evaluate(async () => {
    const c = new OffscreenCanvas(64, 48); const g = c.getContext('2d');
    g.fillStyle = '#00ff00'; g.fillRect(0, 0, 64, 48);
    const file = new File([await c.convertToBlob({ type: 'image/png' })], 'green.png', { type: 'image/png' });
    const drop = new DataTransfer(); drop.items.add(file);
    window.dispatchEvent(new DragEvent('drop', { dataTransfer: drop, cancelable: true }));
  });
  await fixed.waitForFunction(() => window.orvaneReady.propCount() === 1, { timeout: 10000 }).catch(() => {});
  check(await fixed.evaluate(() => window.orvaneReady.propCount()) === 1, `a dropped picture is the atlas's prop (samples: ${samples})`);
  await fixed.reload();
  await fixed.waitForFunction(() => window.orvaneReady);
  // Ten seconds: every sprite born again since the start shows a prop of the atlas.
  await fixed.evaluate(() => window.orvaneTest.render(300, 30));
  const kept = await look(fixed);
  check(await fixed.evaluate(() => window.orvaneReady.propCount()) === 1 && kept.green > 50, `it is kept in the browser and drawn (${kept.green} green pixels)`);
  await fixed.click('#forget');
  await fixed.waitForFunction((n) => window.orvaneReady.propCount() === n, { timeout: 10000 }, samples).catch(() => {});
  check(await fixed.evaluate(() => window.orvaneReady.propCount()) === samples, 'removing it brings the samples back');
  const notes = join(out, 'notes.txt');
  writeFileSync(notes, 'not a picture');
  const [chooser] = await Promise.all([fixed.waitForFileChooser(), fixed.evaluate(() => document.getElementById('file').click())]);
  await chooser.accept([notes]);
  await fixed.waitForFunction(() => document.getElementById('message').textContent !== '' && !document.getElementById('message').textContent.includes('removed'), { timeout: 10000 }).catch(() => {});
  const line = await fixed.evaluate(() => document.getElementById('message').textContent);
  check(line === 'notes.txt is not a picture or a prop file.', `a file that is not a picture is told in one line ("${line}")`);
  // A prop file given to the page is read as one.
  const few = join(out, 'few.prp');
  execFileSync(join(dirname(renderTool), 'proptool'), ['sample', few, '--count', '20']);
  const [again] = await Promise.all([fixed.waitForFileChooser(), fixed.evaluate(() => document.getElementById('file').click())]);
  await again.accept([few]);
  await fixed.waitForFunction(() => window.orvaneReady.propCount() === 20, { timeout: 10000 }).catch(() => {});
  const mine = await fixed.evaluate(() => document.getElementById('mine').textContent);
  check(mine.startsWith('20 props of your prop file'), `a prop file is read as one ("${mine}")`);
  await context.close();

  // A browser without WebGL 2 is told so on the page.
  const plain = await puppeteer.launch({ executablePath: '/usr/lib/chromium/chromium', headless: true, args: ['--no-sandbox', '--disable-webgl'] });
  const bare = await plain.newPage();
  await bare.goto(site);
  await bare.waitForFunction(() => document.getElementById('message').textContent !== '', { timeout: 10000 }).catch(() => {});
  const told = await bare.evaluate(() => document.getElementById('message').textContent);
  check(told === 'This browser has no WebGL 2, which the kaleidoscope needs.', `without WebGL 2, one line ("${told}")`);
  await plain.close();
  check(errors.length === 0, `no console error${errors.length ? ': ' + errors.join(' | ') : ''}`);
} finally {
  await browser.close();
  server.kill();
}
process.exit(failures.length ? 1 : 0);
