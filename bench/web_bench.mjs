// The web player measured in headless Chromium: first frame, frame changes against putImageData, timer chain pace.
//
// usage: node bench/web_bench.mjs SAMPLE_URL GENERATED_URL CHAIN_URL
// Each URL is a served site; frame names come from the sites' own demos.
import { createRequire } from 'module';
const require = createRequire(new URL('../tests/e2e/web/', import.meta.url));
const { chromium } = require('playwright-core');

const [sampleUrl, generatedUrl, chainUrl] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

async function open(url) {
  const page = await browser.newPage({ viewport: { width: 1280, height: 1024 } });
  await page.goto(url);
  await page.waitForFunction(() => window.demoPlayer && window.demoPlayer.presents > 0, null, { timeout: 30000 });
  if (!(await page.evaluate(() => window.crossOriginIsolated))) throw new Error('the page is not cross-origin isolated');
  return page;
}

// From navigation to the first frame on the canvas, in a fresh page each time.
async function firstFrame(url, runs) {
  const times = [];
  for (let i = 0; i < runs; ++i) {
    const page = await open(url);
    times.push(await page.evaluate(() => window.demoPlayer.firstPresentAt));
    await page.close();
  }
  return median(times);
}

// A key press's frame change until its rows are on the canvas, against a plain
// putImageData of the whole frame into a canvas of the same size (each change's
// own: a walk through a demo meets cut-out frames of other sizes), done right
// after the change, so that both meet the same state of the browser.
async function frameChanges(url, keyCode, steps) {
  const page = await open(url);
  await page.waitForTimeout(300);
  // History needs steps to go back over.
  if (keyCode === 37) await frameSteps(page, 39, steps);
  const result = await frameSteps(page, keyCode, steps);
  await page.close();
  return result;
}

async function frameSteps(page, keyCode, steps) {
  return page.evaluate(async ([keyCode, steps]) => {
    const main = document.querySelector('canvas[data-window-class="RXDemo"]');
    const settle = () => new Promise((r) => setTimeout(r, 0));
    // One canvas, and pixels of a frame, for each size met; made outside the timing.
    const bySize = new Map();
    const target = (w, h) => {
      const key = w + 'x' + h;
      if (!bySize.has(key)) {
        const copy = document.createElement('canvas');
        copy.width = w;
        copy.height = h;
        document.body.appendChild(copy);
        const ctx = copy.getContext('2d');
        ctx.drawImage(main, 0, 0);
        bySize.set(key, [ctx, ctx.getImageData(0, 0, w, h)]);
      }
      return bySize.get(key);
    };
    const names = new Set(), sizes = new Set();
    let present = 0, plain = 0, reported = 0, changes = 0, slowest = 0;
    // Going forward, a frame met again in a lap (the sample ends in two frames
    // that lead to each other) sends the walk Home for another lap.
    let lap = new Set(), home = false;
    for (let i = 0; i < steps; ++i) {
      const before = window.demoPlayer.presents, presentBefore = Module._web_present_ms();
      const key = home ? 36 : keyCode;
      const t0 = performance.now();
      Module._web_key(key, 1);
      Module._web_key(key, 0);
      Module.demoWake();
      await settle();
      if (window.demoPlayer.presents > before) {
        ++changes;
        reported += window.demoPlayer.lastPresentAt - t0;
        const took = Module._web_present_ms() - presentBefore;
        present += took;
        slowest = Math.max(slowest, took);
        const [ctx, image] = target(main.width, main.height);
        sizes.add(main.width + ' x ' + main.height);
        const t1 = performance.now();
        ctx.putImageData(image, 0, 0);
        plain += performance.now() - t1;
      }
      const name = window.demoPlayer.frameName;
      names.add(name);
      home = keyCode === 39 && lap.has(name);
      if (home) lap = new Set();
      lap.add(name);
      await settle();
    }
    return { player: reported / changes, present: present / changes, plain: plain / changes, changes, slowest,
             frames: names.size, sizes: [...sizes].join(', ') };
  }, [keyCode, steps]);
}

// Frames a second of a chain of "Timer 31" frames, over `seconds`.
async function chainPace(url, seconds) {
  const page = await open(url);
  await page.waitForTimeout(1000);
  const fps = await page.evaluate(async (seconds) => {
    let frames = 0;
    const count = () => ++frames;
    window.addEventListener('framechange', count);
    const t0 = performance.now();
    await new Promise((r) => setTimeout(r, seconds * 1000));
    window.removeEventListener('framechange', count);
    return frames * 1000 / (performance.now() - t0);
  }, seconds);
  await page.close();
  return fps;
}

const fmt = (x) => (x === undefined ? 'n/a' : x.toFixed(2));
console.log(`first frame, sample: ${fmt(await firstFrame(sampleUrl, 5))} ms (goal 1000)`);
console.log(`first frame, generated 983 frames: ${fmt(await firstFrame(generatedUrl, 5))} ms (goal 3000)`);
for (const [name, url, key] of [['sample, Right Arrow', sampleUrl, 39], ['generated, Right Arrow', generatedUrl, 39],
                                ['generated, Left Arrow (history)', generatedUrl, 37]]) {
  const r = await frameChanges(url, key, 200);
  console.log(`frame change, ${name} (${r.sizes}), ${r.changes} changes over ${r.frames} frames:` +
              ` to the canvas ${fmt(r.present)} ms against a plain putImageData ${fmt(r.plain)} ms, ratio` +
              ` ${fmt(r.present / r.plain)} (goal 2); slowest ${fmt(r.slowest)} ms; key to canvas ${fmt(r.player)} ms (reported)`);
}
console.log(`timer chain: ${fmt(await chainPace(chainUrl, 10))} frames a second`);
await browser.close();
