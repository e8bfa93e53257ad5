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
// own: a walk through a demo meets cut-out frames of other sizes).
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
    const player = [], names = new Set(), sizes = [];
    const presentBefore = Module._web_present_ms();
    for (let i = 0; i < steps; ++i) {
      const before = window.demoPlayer.presents;
      const t0 = performance.now();
      Module._web_key(keyCode, 1);
      Module._web_key(keyCode, 0);
      Module.demoWake();
      await settle();
      if (window.demoPlayer.presents > before) {
        player.push(window.demoPlayer.lastPresentAt - t0);
        sizes.push([main.width, main.height]);
      }
      names.add(window.demoPlayer.frameName);
      await settle();
    }
    const present = (Module._web_present_ms() - presentBefore) / player.length;
    // One canvas, and pixels of a frame, for each size met.
    const bySize = new Map();
    const target = ([w, h]) => {
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
    const plain = [];
    for (const size of sizes) {
      const [ctx, image] = target(size);
      const t0 = performance.now();
      ctx.putImageData(image, 0, 0);
      plain.push(performance.now() - t0);
      await settle();
    }
    // The page's clock is coarse (0.1 ms): means, not medians, of many.
    const med = (xs) => xs.reduce((a, b) => a + b, 0) / xs.length;
    return { player: med(player), present, plain: med(plain), changes: player.length, frames: names.size,
             sizes: [...new Set(sizes.map(([w, h]) => w + ' x ' + h))].join(', ') };
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
              ` ${fmt(r.present / r.plain)} (goal 2); key to canvas ${fmt(r.player)} ms (reported)`);
}
console.log(`timer chain: ${fmt(await chainPace(chainUrl, 10))} frames a second`);
await browser.close();
