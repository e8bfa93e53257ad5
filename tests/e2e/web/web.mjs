// End-to-end: the web player plays the sample and the hostile corpus in headless Chromium, checked against
// demotool's own renders and the headless native player. Called by run.sh, which serves the sites.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";
import { chromium } from "playwright-core";

const opt = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) opt[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
const { base, root, tool, sample, shots, corpus, single } = opt;

const SCREEN = { width: 1280, height: 1024 };
const WX = 40, WY = 40;  // the main window's first place when the screen has room
const BELOW_TITLE = [0, 28, 800, 572];  // the frame's own pixels: the title band holds browser-drawn text
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const clip = (text, n = 300) => (text.length > n ? "..." + text.slice(-n) : text);

let fails = 0, checks = 0, section = "";
function check(what, ok, detail = "") {
  checks++;
  if (!ok) {
    fails++;
    console.log(`FAIL: [${section}] ${what}${detail ? "\n  " + String(detail).replace(/\n/g, "\n  ") : ""}`);
  }
  return ok;
}

// A page that stops answering is a fault of its own; nothing waits on it for ever.
async function within(promise, ms, what) {
  let timer;
  const late = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`${what}: no answer in ${ms / 1000} s`)), ms); });
  try { return await Promise.race([promise, late]); } finally { clearTimeout(timer); }
}
async function until(fn, ms = 15000) {
  const end = Date.now() + ms;
  for (;;) {
    const v = await fn();
    if (v || Date.now() > end) return v;
    await sleep(40);
  }
}

// Installed in every page before its own scripts: the events it sends, and pixel reading.
function helpers() {
  window.__frames = [];
  window.__end = null;
  addEventListener("framechange", (e) => __frames.push(e.detail.name));
  addEventListener("demoend", (e) => { __end = e.detail; });
  const snaps = {};
  const main = () => document.querySelector('canvas[data-window-class="RXDemo"]');
  const now = () => { const c = main(); return c && c.width ? c.getContext("2d").getImageData(0, 0, c.width, c.height) : null; };
  window.__t = {
    grab(name) { snaps[name] = now(); return !!snaps[name]; },
    async load(name, b64) {
      const bytes = Uint8Array.from(atob(b64), (ch) => ch.charCodeAt(0));
      const bm = await createImageBitmap(new Blob([bytes], { type: "image/png" }), { colorSpaceConversion: "none", premultiplyAlpha: "none" });
      const ctx = new OffscreenCanvas(bm.width, bm.height).getContext("2d");
      ctx.drawImage(bm, 0, 0);
      snaps[name] = ctx.getImageData(0, 0, bm.width, bm.height);
      return [bm.width, bm.height];
    },
    // Pixels whose colour differs between two images ("" is the main canvas now) within [x, y, w, h];
    // a string when either image lacks the area.
    diff(a, b, r) {
      const A = a ? snaps[a] : now(), B = b ? snaps[b] : now();
      if (!A || !B) return "no image";
      const [x, y, w, h] = r || [0, 0, A.width, A.height];
      if (x + w > A.width || y + h > A.height || x + w > B.width || y + h > B.height)
        return `sizes ${A.width}x${A.height} and ${B.width}x${B.height} do not hold ${w}x${h}+${x}+${y}`;
      let n = 0;
      for (let j = y; j < y + h; ++j)
        for (let i = x; i < x + w; ++i) {
          const p = (j * A.width + i) * 4, q = (j * B.width + i) * 4;
          if (A.data[p] !== B.data[q] || A.data[p + 1] !== B.data[q + 1] || A.data[p + 2] !== B.data[q + 2]) n++;
        }
      return n;
    },
    pixel(name, x, y) { const A = snaps[name], p = (y * A.width + x) * 4; return [A.data[p], A.data[p + 1], A.data[p + 2]]; },
    png() { const c = main(); return c ? c.toDataURL("image/png") : ""; },
  };
}

let browser, launches = 0;
async function launch() {
  launches++;
  browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox"] });
}

// ---- one page of the player ----
class Tab {
  static async open(url, viewport = SCREEN, context = null) {
    const t = new Tab();
    t.ownContext = !context;
    t.context = context || (await browser.newContext({ viewport, deviceScaleFactor: 1 }));
    t.page = await t.context.newPage();
    if (context) await t.page.setViewportSize(viewport);
    t.out = [];      // the player's standard output, a line a message
    t.other = [];    // the rest of the console, and page errors
    t.page.on("console", (m) => (m.type() === "log" ? t.out : t.other).push(m.text()));
    t.page.on("pageerror", (e) => t.other.push("page error: " + e.message));
    await t.page.addInitScript(helpers);
    await within(t.page.goto(url), 30000, "loading " + url);
    return t;
  }
  ev(fn, arg) { return within(this.page.evaluate(fn, arg), 10000, "the tab"); }
  state() { return this.ev(() => ({ ...window.demoPlayer })); }
  frameName() { return this.ev(() => window.demoPlayer.frameName); }
  output() { return this.out.map((l) => l + "\n").join(""); }
  async close() {
    const errors = this.other.filter((l) => l.startsWith("page error: "));
    check(`no script error on ${this.page.url()}`, errors.length === 0, clip(errors.join("\n"), 600));
    try { await within(this.ownContext ? this.context.close() : this.page.close(), 10000, "closing"); }
    catch { await browser.close().catch(() => {}); await launch(); }
  }
  async awaitFrame(name, what = `frame ${name} shown`) {
    const ok = await until(async () => (await this.frameName()) === name);
    return check(what, ok, `frame is '${await this.frameName()}'; output ends: ${clip(this.out.slice(-3).join(" | "))}`);
  }
  // The rectangle a window's canvas takes on the page (class, or the main window).
  rect(cls = "RXDemo") {
    return this.ev((c) => {
      const e = document.querySelector(`canvas[data-window-class="${c}"]`);
      if (!e) return null;
      const r = e.getBoundingClientRect();
      return { x: r.left, y: r.top, w: r.width, h: r.height, shown: getComputedStyle(e).display !== "none" };
    }, cls);
  }
  async shot(name) { await this.page.screenshot({ path: path.join(shots, name + ".png") }); }
  async saveCanvas(name) {
    const url = await this.ev(() => __t.png()).catch(() => "");
    const file = path.join(shots, name + "-canvas.png");
    if (url) fs.writeFileSync(file, Buffer.from(url.split(",")[1], "base64"));
    return file;
  }
  async loadPng(name, file) { return this.ev(([n, b]) => __t.load(n, b), [name, fs.readFileSync(file).toString("base64")]); }
  diff(a, b, r) { return this.ev(([a, b, r]) => __t.diff(a, b, r), [a, b, r]); }
  grab(name) { return this.ev((n) => __t.grab(n), name); }
  // Waits until the main canvas equals (or differs from) an image within an area.
  async expectDiff(what, image, area, test, shot) {
    let n;
    const ok = await until(async () => test((n = await this.diff(image, "", area))), 10000);
    if (!ok) return check(what, false, `${n} pixels differ in ${area ? area.join(",") : "the whole"}; canvas: ${await this.saveCanvas(shot)}`);
    return true;
  }
  // The main canvas shows what demotool renders for the frame, title band aside.
  async sameAsRender(shot, frame, after, area = BELOW_TITLE) {
    const ref = render(frame, after);
    await this.loadPng("ref", ref);
    const ok = await this.expectDiff(`${shot}: the canvas shows demotool's render of ${frame}`, "ref", area, (n) => n === 0, shot);
    if (!ok) console.log(`  reference: ${ref}`);
    return ok;
  }
  key(k) { return this.page.keyboard.press(k); }
  cursor() { return this.ev(() => document.getElementById("desktop").style.cursor); }
  async ended(ms = 20000) { return until(async () => (await this.state()).ended, ms); }
}

const rendered = new Map();
function render(frame, after) {
  const file = path.join(shots, `ref-${frame}${after ? "-after-" + after : ""}.png`);
  if (!rendered.has(file)) {
    execFileSync(tool, ["render", sample, frame, "-o", file, ...(after ? ["--after", after] : [])], { stdio: "pipe" });
    rendered.set(file, true);
  }
  return file;
}
// A shot by the headless native player on the sample: native(NAME, SCRIPT, START_FRAME) gives its path.
function native(name, script, start) {
  const dir = path.join(shots, "native");
  fs.mkdirSync(dir, { recursive: true });
  fs.writeFileSync(path.join(dir, name + ".txt"), script);
  const out = execFileSync(tool, ["run", "--screen", "1280,1024", "--script", path.join(dir, name + ".txt"), "--shots", dir, "--", start], { cwd: sample, encoding: "utf8" });
  fs.writeFileSync(path.join(dir, name + ".out"), out);
  return path.join(dir, name + ".png");
}
const site = (rest = "") => `${base}site/index.html${rest}`;
const frameLines = (out) => [...out.matchAll(/Frame -?\d+: (\S+)/g)].map((m) => m[1]);
const uniq = (a) => a.filter((v, i) => i === 0 || v !== a[i - 1]);

// ---- the sample, as the X11 suite walks it ----
async function walkFromSplash() {
  section = "splash and walk";
  const t = await Tab.open(site());
  check("splash shown", await until(async () => (await t.rect("RXDsplash"))?.shown));
  await t.shot("splash-screen");
  const s = await t.rect("RXDsplash");
  check(`splash centred in the screen (${s.x},${s.y} ${s.w}x${s.h})`, Math.abs(s.x + s.w / 2 - SCREEN.width / 2) <= 10 && Math.abs(s.y + s.h / 2 - SCREEN.height / 2) <= 10);
  await t.page.mouse.click(s.x + s.w / 2, s.y + s.h - 30);
  await t.awaitFrame("welcome");
  const drawn = () => t.ev(() => !document.getElementById("pointer").hidden);
  check("no drawn pointer beside the presenter's own after a frame is shown", await until(async () => !(await drawn()), 3000));
  const w = await t.rect();
  check("main window at 40,40 sized 800 x 600", w.x === WX && w.y === WY && w.w === 800 && w.h === 600, JSON.stringify(w));
  check("splash gone", !(await t.rect("RXDsplash"))?.shown);
  check("the page is titled as the demo's window", (await t.ev(() => document.title)) === "galculator", await t.ev(() => document.title));

  // notes with F4, frame pixels
  await t.shot("welcome-notes");
  await t.loadPng("ref", render("welcome"));
  await t.expectDiff("speaker notes drawn over the frame", "ref", BELOW_TITLE, (n) => n > 1000, "welcome-notes");
  await t.grab("notes");
  await t.key("F4");
  await t.sameAsRender("welcome", "welcome");
  await t.shot("welcome");
  await t.grab("welcome");
  await t.key("F4");
  await t.expectDiff("notes back with F4", "notes", null, (n) => n === 0, "welcome-notes2");
  await t.key("F4");
  await t.expectDiff("notes off again", "welcome", null, (n) => n === 0, "welcome-notes3");

  // help with F1: the help title in the title band
  await t.key("F1");
  await t.expectDiff("F1: the help title appears in the title band", "welcome", [0, 0, 800, 28], (n) => n > 100, "welcome-help");
  await t.shot("welcome-help");
  await t.key("F1");
  await t.expectDiff("F1 again: help gone", "welcome", null, (n) => n === 0, "welcome-nohelp");

  // a KeyDown action, then the timer chain
  await t.key("a");
  await t.awaitFrame("home");
  await t.sameAsRender("home", "home");
  check("timed frames shown in order", /Frame 1: move-a1\n(.*\n)*Frame 6: move-a6\n(.*\n)*Frame 7: home/.test(t.output()), t.output());
  await t.grab("home");
  await t.key("F1");
  await t.expectDiff("F1 on home: help boxes drawn on the frame", "home", BELOW_TITLE, (n) => n > 100, "home-help");
  await t.shot("home-help");
  await t.key("F1");
  await t.expectDiff("F1 again on home: boxes gone", "home", null, (n) => n === 0, "home-nohelp");

  // The page losing the focus is the demo's window losing it: a frame shown meanwhile has the
  // inactive look in its title band, as the headless player draws it (the band's right holds text;
  // the headless shot cuts the rounded corner out, the canvas leaves that to the page).
  const inactive = native("inactive", "key 115\ndeactivate\nmove 120 508\nshot inactive\nkey 27\n", "home");
  await t.ev(() => window.dispatchEvent(new Event("blur")));
  await t.page.mouse.move(WX + 80, WY + 468);
  await t.awaitFrame("hover-1", "hover while the page has no focus");
  await t.loadPng("inactive", inactive);
  await t.expectDiff("the inactive look of the title band, as the native player's", "inactive", [3, 0, 477, 28], (n) => n === 0, "hover-inactive");
  await t.shot("hover-inactive");
  await t.page.mouse.move(WX + 400, WY + 300);
  await t.awaitFrame("home");
  await t.ev(() => window.dispatchEvent(new Event("focus")));
  await t.expectDiff("focus back: the active look again", "home", null, (n) => n === 0, "home-active");

  // hover and its cursor, click, release
  await t.page.mouse.move(WX + 400, WY + 80);
  check("I-beam over the display", await until(async () => (await t.cursor()) === "text"), await t.cursor());
  await t.page.mouse.move(WX + 600, WY + 200);
  check("not-allowed over the memory keys", await until(async () => (await t.cursor()) === "not-allowed"), await t.cursor());
  await t.page.mouse.move(WX + 80, WY + 468);
  await t.awaitFrame("hover-1");
  check("hand over the 1 key", await until(async () => (await t.cursor()) === "pointer"), await t.cursor());
  await t.sameAsRender("hover-1", "hover-1", "home");
  await t.page.mouse.down();
  await t.awaitFrame("press-1", "pressing the key shows press-1");
  await t.page.mouse.up();
  await t.awaitFrame("typed-1", "releasing on the key: typed-1");
  await t.sameAsRender("typed-1", "typed-1");

  // history: Right Arrow follows the first action, Left Arrow steps back, Home goes home
  await t.page.mouse.move(WX + 400, WY + 300);
  await t.key("ArrowRight");
  await t.awaitFrame("typed-12", "Right Arrow from typed-1: typed-12");
  await t.key("ArrowLeft");
  await t.awaitFrame("typed-1", "Left Arrow back to typed-1");
  await t.key("Home");
  await t.awaitFrame("home", "Home: home");

  // Shift glides the drawn pointer onto the 1 key; the presenter's own move hides it
  await t.page.mouse.move(WX + 400, WY + 80);
  await t.key("Shift");
  const onKey = () => t.ev(() => {
    const p = document.getElementById("pointer");
    return p.hidden ? null : [parseFloat(p.style.left), parseFloat(p.style.top)];
  });
  const inKey = (p) => p && p[0] >= WX + 6 && p[0] <= WX + 158 && p[1] >= WY + 429 && p[1] <= WY + 508;
  check("Shift glides the drawn pointer onto the 1 key", await until(async () => inKey(await onKey())), JSON.stringify(await onKey()));
  let last = null;
  await until(async () => { const p = JSON.stringify(await onKey()); const still = p === last; last = p; await sleep(200); return still; });
  await t.page.mouse.move(WX + 400, WY + 300);
  check("the presenter's move hides the drawn pointer", await until(async () => (await onKey()) === null));
  await t.key("Home");
  await t.awaitFrame("home");

  // the title band drags the window
  await t.page.mouse.move(WX + 300, WY + 10);
  await t.page.mouse.down();
  await t.page.mouse.move(WX + 320, WY + 20);
  await t.page.mouse.move(WX + 350, WY + 40);
  await t.page.mouse.up();
  const moved = await until(async () => { const r = await t.rect(); return r.x === WX + 50 && r.y === WY + 30 && r; });
  check("title band drag moves the window by 50,30", moved, JSON.stringify(await t.rect()));
  await t.shot("dragged");

  // Esc: the end screen, its event, and playing again
  await t.key("Escape");
  check("Esc ends the demo", await t.ended());
  const end = await t.ev(() => ({
    shown: !document.getElementById("end").hidden, text: document.getElementById("end-text").textContent,
    again: document.getElementById("again").textContent, event: window.__end, status: demoPlayer.status, frames: __frames,
  }));
  await t.shot("end");
  check("end screen with 'Play again' after Esc", end.shown && end.again === "Play again" && end.text === "The demo has ended.", JSON.stringify(end));
  check("demoend event with status 0 and the end screen's text", end.event && end.event.status === 0 && end.event.text === end.text && end.status === 0, JSON.stringify(end));
  check("frame lines in the console", t.output().includes("Frame 0: welcome\n"), t.output());
  const lines = uniq(frameLines(t.output()));
  check("a framechange event for each frame the console names", JSON.stringify(end.frames) === JSON.stringify(lines), `events: ${end.frames.join(" ")}\nconsole: ${lines.join(" ")}`);
  await t.page.click("#again");
  check("Play again starts the demo anew at its splash", await until(async () => (await t.rect("RXDsplash").catch(() => null))?.shown));
  check("Play again: no frame yet", (await t.frameName()) === "");
  await t.close();
}

// ---- the presenter view in a browser window of its own: clean frames for the audience, keys from the view ----
async function presenterView() {
  section = "presenter view";
  const t = await Tab.open(site("#frame=home"));
  await t.awaitFrame("home");
  await t.loadPng("ref", render("home"));
  await t.expectDiff("notes drawn over home", "ref", BELOW_TITLE, (n) => n > 1000, "presenter-notes");
  const opened = t.context.waitForEvent("page", { timeout: 10000 }).catch(() => null);
  await t.key("F5");
  const view = await opened;
  if (!check("F5 opens the presenter view in a browser window of its own", view)) return t.close();
  const viewCanvas = () => view.evaluate(() => { const c = document.querySelector("canvas"); return c ? [c.width, c.height] : null; });
  check("the view's window holds its canvas, sized to the window", await until(async () => {
    const size = await viewCanvas(), vp = view.viewportSize();
    return size && vp && size[0] === vp.width && size[1] === vp.height;
  }, 5000), JSON.stringify([await viewCanvas(), view.viewportSize()]));
  // Drawn, not only sized: the frame, its steps and notes over the view's dark ground.
  const drawn = () => view.evaluate(() => {
    const c = document.querySelector("canvas"), d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] > 128 || d[i + 1] > 128 || d[i + 2] > 128) n++;
    return n;
  });
  check("the view shows the frame and its words", await until(async () => (await drawn()) > 50000, 5000), await drawn());
  check("the view's window is titled for the demo", / - presenter view$/.test(await view.title()), await view.title());
  check("no view canvas on the audience's page", !(await t.rect("RXPresenter")));
  await t.sameAsRender("presenter-audience", "home");
  await sleep(300);
  await view.screenshot({ path: path.join(shots, "presenter-view.png") });
  await t.shot("presenter-audience");

  // keys pressed in the view act in the demo
  await view.keyboard.press("ArrowRight");
  await t.awaitFrame("hover-1", "Right Arrow in the view steps the demo on");
  await view.keyboard.press("ArrowLeft");
  await t.awaitFrame("home", "Left Arrow in the view steps back");

  // resized by the presenter, the view is drawn for its new size
  await view.setViewportSize({ width: 700, height: 500 });
  check("the resized view's canvas follows its window", await until(async () => {
    const size = await viewCanvas();
    return size && size[0] === 700 && size[1] === 500;
  }, 5000), JSON.stringify(await viewCanvas()));
  check("the resized view is drawn anew", await until(async () => (await drawn()) > 30000, 5000), await drawn());
  await view.screenshot({ path: path.join(shots, "presenter-view-small.png") });

  // F5 in the view closes it; the notes come back for the audience
  const closed = view.waitForEvent("close", { timeout: 10000 }).then(() => true, () => false);
  await view.keyboard.down("F5").catch(() => {});  // the window goes before the key comes up
  check("F5 in the view closes its window", await closed);
  await t.expectDiff("notes back for the audience once the view is closed", "ref", BELOW_TITLE, (n) => n > 1000, "presenter-closed");

  // the control bar opens it too; the presenter closing the view's window closes the view
  const again = t.context.waitForEvent("page", { timeout: 10000 }).catch(() => null);
  await t.page.click('#controls button[data-key="116"]');
  const second = await again;
  if (check("the control bar's Presenter button opens it again", second)) {
    await t.sameAsRender("presenter-again", "home");
    await second.close({ runBeforeUnload: true });
    await t.expectDiff("closing the view's window brings the notes back", "ref", BELOW_TITLE, (n) => n > 1000, "presenter-window-closed");
  }
  // the demo's end closes an open view with it
  const third = t.context.waitForEvent("page", { timeout: 10000 }).catch(() => null);
  await t.key("F5");
  const last = await third;
  if (check("F5 opens it once more", last)) {
    const gone = last.waitForEvent("close", { timeout: 10000 }).then(() => true, () => false);
    await t.key("Escape");
    check("the demo's end closes the view's window", await gone);
  }
  await t.close();
}

// ---- links to a frame, the title band's areas, right clicks, cut-out frames ----
async function deepLinks() {
  section = "start frame";
  let t = await Tab.open(site("#frame=typed-1"));
  await t.awaitFrame("typed-1", "#frame=typed-1 opens typed-1");
  check("no splash with a start frame", !(await t.rect("RXDsplash")));
  await t.key("F4");
  await t.sameAsRender("start-typed-1", "typed-1");
  // the rounded top: the corner pixel is the page's black, the title band's next to it
  const file = path.join(shots, "start-typed-1-corner.png");
  await t.page.screenshot({ path: file, clip: { x: WX, y: WY, width: 16, height: 2 } });
  await t.loadPng("corner", file);
  await t.grab("canvas");
  const [corner, band, drawn] = await t.ev(() => [__t.pixel("corner", 0, 0), __t.pixel("corner", 12, 0), __t.pixel("canvas", 0, 0)]);
  check(`rounded top corner cut out (${corner}, frame ${drawn}, band ${band})`, corner.join() === "0,0,0" && band.join() !== "0,0,0" && drawn.join() !== "0,0,0");

  // a link with a stray % names no frame the demo has: it starts at frame 0, as for any unknown name
  const odd = await Tab.open(site("#frame=100%"));
  await odd.awaitFrame("welcome", "#frame=100% starts at frame 0");
  await odd.close();

  section = "title band";
  await t.page.mouse.click(WX + 800 - 60, WY + 10);
  check("minimise area hides the window and offers to restore it", await until(async () => !(await t.rect()).shown && (await t.ev(() => !document.getElementById("restore").hidden))));
  await t.shot("minimised");
  await t.page.click("#restore");
  check("restore shows the window again", await until(async () => (await t.rect()).shown && (await t.ev(() => document.getElementById("restore").hidden))));
  await t.sameAsRender("restored", "typed-1");
  await t.key("Home");
  await t.awaitFrame("home");
  await t.page.mouse.click(WX + 800 - 10, WY + 10);
  check("close area ends the demo with status 0", (await t.ended()) && (await t.state()).status === 0);
  check("close area ends the demo after showing home", t.output().includes("Frame 7: home\n"), t.output());
  await t.close();

  section = "keys and controls";
  t = await Tab.open(site("#frame=typed-mul"));
  await t.awaitFrame("typed-mul");
  await t.key("Numpad7");
  await t.awaitFrame("typed-7", "7 on the number pad: typed-7");
  await t.key("Enter");
  await t.awaitFrame("result", "Enter: result");
  await t.key("F4");
  await t.sameAsRender("result", "result");
  await t.grab("result");
  const control = (k) => t.page.click(`#controls button[data-key="${k}"]`);
  await control(115);
  await t.expectDiff("the Notes button shows the notes", "result", BELOW_TITLE, (n) => n > 1000, "result-notes-button");
  await control(115);
  await t.expectDiff("the Notes button hides them again", "result", null, (n) => n === 0, "result-notes-button-off");
  await control(37);
  await t.awaitFrame("typed-7", "the back button steps back");
  await control(39);
  await t.awaitFrame("result", "the forward button follows the first action");

  section = "right click";
  await t.page.mouse.click(WX + 400, WY + 80, { button: "right" });
  await t.awaitFrame("context", "right click on the display: its menu");
  await t.sameAsRender("context", "context", "result");
  await t.shot("context");
  await t.close();

  section = "cut-out frame";
  t = await Tab.open(site("#frame=home"));
  await t.awaitFrame("home");
  await Promise.all([t.page.waitForEvent("load"), t.ev(() => { location.hash = "#frame=about"; })]);
  await t.awaitFrame("about", "a new #frame in the address opens that frame");
  const a = await t.rect();
  check("the About box alone, cut out at frame (174, 134)", a.x === WX + 174 && a.y === WY + 134 && a.w === 452 && a.h === 359, JSON.stringify(a));
  await t.shot("about");
  await t.page.mouse.click(a.x + 386, a.y + 331);
  await t.awaitFrame("file-ready", "the About box's Close button");
  const f = await t.rect();
  check("back to the full window", f.x === WX && f.y === WY && f.w === 800 && f.h === 600, JSON.stringify(f));
  await t.close();
}

async function splashKeys() {
  section = "splash keys";
  let t = await Tab.open(site());
  check("splash shown for Right Arrow", await until(async () => (await t.rect("RXDsplash"))?.shown));
  await t.key("ArrowRight");
  await t.awaitFrame("welcome", "Right Arrow on the splash shows frame 0");
  await t.close();
  // the presenter switches away from the page and back: the splash keeps the keyboard
  t = await Tab.open(site());
  check("splash shown for the focus round trip", await until(async () => (await t.rect("RXDsplash"))?.shown));
  await t.ev(() => { dispatchEvent(new Event("blur")); dispatchEvent(new Event("focus")); });
  await t.key("ArrowRight");
  await t.awaitFrame("welcome", "Right Arrow on the splash after the page lost and regained the focus");
  await t.close();
  t = await Tab.open(site());
  check("splash shown for Escape", await until(async () => (await t.rect("RXDsplash"))?.shown));
  await t.key("Escape");
  check("Escape on the splash ends with status 0", (await t.ended()) && (await t.state()).status === 0);
  check("Escape on the splash showed no frame", !/Frame /.test(t.output()), t.output());
  await t.close();
}

// Content that never arrives ends the demo as a failure does, for the presenter and the host page.
async function missingContent() {
  section = "missing content";
  const t = await Tab.open(site("?demo=missing.dat"));
  const ended = await t.ended();
  const end = await t.ev(() => ({ event: window.__end, status: demoPlayer.status, shown: !document.getElementById("end").hidden,
    text: document.getElementById("end-text").textContent }));
  check("a demo that cannot be fetched ends with status 1, a demoend event and the reason on the end screen",
    ended && end.status === 1 && end.shown && /could not be loaded.*missing\.dat/.test(end.text) && end.event?.status === 1 && end.event.text === end.text,
    JSON.stringify(end));
  await t.close();
}

// ---- a host page embedding the player hears of its frames ----
async function embedded() {
  section = "iframe";
  fs.writeFileSync(path.join(root, "host.html"), `<!DOCTYPE html><title>host</title>
<style>body { margin: 0 } iframe { border: 0; width: 1000px; height: 800px }</style>
<iframe src="site/index.html#frame=home"></iframe>
<script>window.heard = []; addEventListener("message", (e) => heard.push(e.data));</script>`);
  const t = await Tab.open(`${base}host.html`);
  const heard = () => t.ev(() => window.heard.filter((m) => m && m.type === "demoplayer:framechange").map((m) => m.name));
  check("the host hears the start frame", await until(async () => (await heard()).includes("home")), JSON.stringify(await heard()));
  await t.page.mouse.move(WX + 80, WY + 468);
  check("the host hears the hover frame", await until(async () => (await heard()).join() === "home,hover-1"), JSON.stringify(await heard()));
  await t.close();
}

// ---- the viewport is the screen: a change of it lays the demo out again, as a display change does natively ----
async function viewportChange() {
  section = "viewport";
  // What the headless native player does on the same display change; its display change keeps
  // 40 pixels for a task bar, the page has none.
  const scaled = native("scaled", "key 115\nmove 120 508\ndisplay 700 540\nshot scaled\nkey 27\n", "home");
  const said = fs.readFileSync(scaled.replace(/png$/, "out"), "utf8");
  const full = said.match(/DesktopSpace:700,500 .*\nFullSize: (\d+),(\d+)/);
  if (!check("the native player rescales for a 700 x 500 work area", full, said)) return;
  const [nw, nh] = [+full[1], +full[2]];

  const t = await Tab.open(site("#frame=home"));
  await t.awaitFrame("home");
  await t.key("F4");
  await t.page.mouse.move(WX + 80, WY + 468);
  await t.awaitFrame("hover-1");
  await t.page.setViewportSize({ width: 700, height: 500 });
  const ok = await until(async () => { const r = await t.rect(); return r.w === nw && r.h === nh; });
  check(`resized to 700 x 500: the window scaled to the native ${nw} x ${nh}, in its place`, ok && (await t.rect()).x === WX && (await t.rect()).y === WY, JSON.stringify(await t.rect()));
  await t.awaitFrame("home", "the display change shows history entry 0, home");
  await t.loadPng("native", scaled);
  const band = Math.ceil((28 * nh) / 600) + 1;
  await t.expectDiff("scaled frame as the native player draws it", "native", [0, band, nw, nh - band], (n) => n === 0, "viewport-small");
  await t.shot("viewport-small");
  await t.page.mouse.move(WX + 400, WY + 300);  // off the 1 key, which full size puts under the pointer again
  await t.page.setViewportSize(SCREEN);
  check("back to 1280 x 1024: full size again", await until(async () => { const r = await t.rect(); return r.w === 800 && r.h === 600 && r.x === WX && r.y === WY; }), JSON.stringify(await t.rect()));
  await t.sameAsRender("viewport-back", "home");
  await t.close();

  // a cut-out frame scales and moves with the rest (the headless shot cuts its rounded corners out)
  // A busy machine can leave the re-shown cut-out to the next moment: the shot waits for it.
  const cut = native("cut", "key 115\ndisplay 700 540\nwait 300\nshot cut\nkey 27\n", "about");
  const c = await Tab.open(site("#frame=about"));
  await c.awaitFrame("about");
  await c.key("F4");
  await c.page.setViewportSize({ width: 700, height: 500 });
  const [cw, ch] = await c.loadPng("cut", cut);
  check(`resized to 700 x 500: the cut-out window ${cw} x ${ch} as the native one`, await until(async () => { const r = await c.rect(); return r.w === cw && r.h === ch; }), JSON.stringify(await c.rect()));
  await c.expectDiff("the cut-out frame scaled as the native player draws it", "cut", [0, 3, cw, ch - 3], (n) => n === 0, "viewport-cut");
  await c.close();

  // without 40 pixels to spare the first place is the corner
  const n = await Tab.open(site("#frame=home"), { width: 820, height: 620 });
  await n.awaitFrame("home");
  const r = await n.rect();
  check("a screen without room for the inset: window at 0,0", r.x === 0 && r.y === 0 && r.w === 800 && r.h === 600, JSON.stringify(r));
  await n.close();
}

async function singleFile() {
  section = "single file";
  const t = await Tab.open("file://" + single);
  check("splash shown from file://", await until(async () => (await t.rect("RXDsplash"))?.shown), t.other.join("\n"));
  const s = await t.rect("RXDsplash");
  if (s) await t.page.mouse.click(s.x + s.w / 2, s.y + s.h - 30);
  await t.awaitFrame("welcome");
  await t.key("F4");
  await t.sameAsRender("single-welcome", "welcome");
  await t.key("a");
  await t.awaitFrame("home");
  await t.shot("single-home");
  await t.key("Escape");
  check("Esc ends the one-file page's demo", await t.ended());
  await t.page.click("#again");
  check("Play again from file:// shows the splash anew", await until(async () => (await t.rect("RXDsplash").catch(() => null))?.shown));
  await t.close();
}

// ---- the hostile corpus through the web player ----
function manifest() {
  const re = /^(\S+)\s+(\S+)((?:\s+(?:splash|glide))*)\s+(safe|fail (\d+))(?:\s+"(.*)")?\s*$/;
  const entries = [];
  fs.readFileSync(path.join(corpus, "expect.txt"), "utf8").split("\n").forEach((line, i) => {
    if (!line || line[0] === "#") return;
    const m = line.match(re);
    if (!m) throw new Error(`expect.txt:${i + 1}: not FILE ROLE [splash] [glide] OUTCOME`);
    // \n is a line end; a backslash takes the next character as it is
    const text = (m[6] || "").replace(/\\(.)/g, (_, c) => (c === "n" ? "\n" : c));
    entries.push({ line: i + 1, file: m[1], role: m[2], splash: /splash/.test(m[3]), glide: /glide/.test(m[3]), safe: m[4] === "safe", status: m[5] ? +m[5] : 0, text });
  });
  return entries;
}

// The files of one entry under ROOT/hostile/ENTRY/, named as the player looks for them; the URL's query.
function place(e) {
  const bytes = (f) => { const b = fs.readFileSync(path.join(corpus, f)); return f.endsWith(".gz") ? zlib.gunzipSync(b) : b; };
  const dir = path.join(root, "hostile", e.file);
  fs.mkdirSync(dir, { recursive: true });
  const put = (name, b) => { fs.writeFileSync(path.join(dir, name), b); return `../hostile/${encodeURIComponent(e.file)}/${name}`; };
  const baseFile = (name) => put(name, fs.readFileSync(path.join(corpus, "base", name)));
  switch (e.role) {
    case "flow": return "?files=" + [put("demoFlow.txt", bytes(e.file)), baseFile("demoStack.rxs")].join(",");
    case "stack": return "?files=" + [baseFile("demoFlow.txt"), put("demoStack.rxs", bytes(e.file))].join(",");
    case "compact": return "?files=" + [baseFile("demoFlow.txt"), put("demoStack.rxz", bytes(e.file))].join(",");
    case "program": return "?demo=" + put(e.file.replace(/\.gz$/, ""), bytes(e.file));
  }
  return null;
}

// The native suite's tour (its window's client area starts at 40,40, as here), then Esc.
const TOUR = [["move", 50, 65], ["click", 50, 65], ["key", "F1"], ["key", "F4"], ["key", "ArrowRight"], ["key", "ArrowLeft"],
  ["move", 75, 65], ["key", "PageUp"], ["blur"], ["key", "ArrowRight"], ["focus"], ["click", 45, 45], ["key", "Home"], ["rclick", 50, 65]];

async function hostileOne(e, context) {
  const query = place(e);
  const what = `${e.file} (expect.txt:${e.line})`;
  // A program's messages name its file, which on the web is demo.dat.
  const expected = e.role === "program" ? e.text.split(`'${e.file.replace(/\.gz$/, "")}'`).join("'demo.dat'") : e.text;
  let t;
  try {
    t = await Tab.open(site(query + (e.splash ? "" : "#frame=b")), SCREEN, context);
    // a demo without frames names none: its window on the page is the sign
    const started = async () => {
      const s = await t.state();
      return s.ended || s.frameName !== "" || (s.presents > 0 && (await t.rect())?.shown) || (e.splash && (await t.rect("RXDsplash"))?.shown);
    };
    await until(started, 20000);
    if (e.splash && !(await t.state()).ended) {
      const s = await t.rect("RXDsplash");
      if (check(`${what}: splash shown`, s && s.shown, JSON.stringify(s))) await t.page.mouse.click(s.x + s.w / 2, s.y + s.h / 2);
      await until(async () => { const st = await t.state(); return st.ended || st.frameName !== "" || (st.presents > 0 && (await t.rect())?.shown); }, 20000);
    }
    for (const step of [...TOUR, ...(e.glide ? [["key", "Shift"]] : []), ["restore"], ["key", "Escape"]]) {
      if ((await t.state()).ended) break;
      const [verb, x, y] = step;
      if (verb === "move") await t.page.mouse.move(x, y);
      else if (verb === "click") await t.page.mouse.click(x, y);
      else if (verb === "rclick") await t.page.mouse.click(x, y, { button: "right" });
      else if (verb === "key") await t.key(x);
      // minimised by the tour's press in the title band, the demo has no keyboard until restored
      else if (verb === "restore") { if (await t.page.isVisible("#restore")) await t.page.click("#restore"); }
      else await t.ev((v) => window.dispatchEvent(new Event(v)), verb);
    }
    const ended = await t.ended(30000);
    const st = await t.state();
    if (!check(`${what}: the demo ends`, ended, `state ${JSON.stringify(st)}; output ends: ${clip(t.out.slice(-3).join(" | "))}`)) return;
    const want = e.safe ? 0 : e.status;
    // the console's last lines may come a moment after the end
    const holds = () => (e.safe ? t.output().includes(expected) : t.output().replace(/\n$/, "").endsWith(expected));
    await until(async () => holds(), 3000);
    const endText = await t.ev(() => document.getElementById("end").hidden ? null : document.getElementById("end-text").textContent);
    check(`${what}: status ${want}`, st.status === want, `got ${st.status}; end screen: ${clip(String(endText))}; output ends: ${clip(t.out.slice(-3).join(" | "))}`);
    check(`${what}: the output ${e.safe ? "holds" : "ends with"} '${expected}'`, holds(), "output ends: " + clip(t.output()));
    const lastLine = expected.split("\n").filter((l) => l.trim()).pop();
    if (!e.safe) check(`${what}: the end screen says '${lastLine}'`, endText !== null && endText.includes(lastLine.trim()), `end screen: ${clip(String(endText))}`);
  } catch (err) {
    check(`${what}: the tab keeps answering`, false, err.message);
    if (t) await t.shot("hostile-" + e.file).catch(() => {});
  } finally {
    if (t) await t.close();
    fs.rmSync(path.join(root, "hostile", e.file), { recursive: true, force: true });
  }
}

async function hostile() {
  section = "hostile";
  const entries = manifest();
  const playable = entries.filter((e) => ["flow", "stack", "compact", "program"].includes(e.role));
  const skipped = entries.length - playable.length;
  // storyboards and screenshots are pack's input: the web player only ever sees what pack made of them
  if (skipped) console.log(`skipped: ${skipped} storyboard and screenshot entries of the hostile corpus (pack's input, not the player's)`);
  // a few tabs at once: each entry waits mostly on the player's timers and the page's events
  const queue = [...playable];
  const worker = async () => {
    let context = null, generation = 0;
    for (let e; (e = queue.shift()); ) {
      // a tab that would not close costs the browser, and its contexts with it
      if (generation !== launches) {
        context = await browser.newContext({ viewport: SCREEN, deviceScaleFactor: 1 });
        generation = launches;
      }
      await hostileOne(e, context);
    }
    await context?.close().catch(() => {});
  };
  await Promise.all([worker(), worker(), worker()]);
}

const only = process.env.WEB_E2E_ONLY;  // one part, when working on it
const parts = { walkFromSplash, presenterView, deepLinks, splashKeys, missingContent, embedded, viewportChange, singleFile, hostile };
await launch();
try {
  for (const [name, part] of Object.entries(parts)) {
    if (only && !only.split(",").includes(name)) continue;
    try { await part(); } catch (err) { check(`${name} ran to its end`, false, err.stack); }
  }
} finally {
  await browser.close().catch(() => {});
}
console.log(fails ? `${fails} of ${checks} checks failed` : `${checks} checks passed`);
process.exit(fails ? 1 : 0);
