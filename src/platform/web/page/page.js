// The page side of the web player: loads the demo, lays out its windows, turns the page's events into input, tells the host.
"use strict";
(function () {
  var params = new URLSearchParams(location.search);
  // A one-file page carries the player and the content inline; its tag comes
  // after this script, right before the player's.
  function inline() { return window.demoInline || null; }
  var desktop = document.getElementById("desktop");
  var pointer = document.getElementById("pointer");
  var canvases = {};
  var mainId = 0;
  var failureText = "";
  var output = [];
  var scratch = null;

  // What a host page or a test can read: the frame shown, presents, the ending.
  var player = (window.demoPlayer = { frameName: "", ended: false, status: null, presents: 0, firstPresentAt: 0,
    lastPresentAt: 0 });

  function ratio() { return window.devicePixelRatio || 1; }
  function screenSize() {
    return [Math.round(window.innerWidth * ratio()), Math.round(window.innerHeight * ratio())];
  }
  function wake() { if (Module.demoWake) Module.demoWake(); }
  function decode(base64) {
    var text = atob(base64), bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    return bytes;
  }
  function fetchBytes(url) {
    return fetch(url).then(function (r) {
      if (!r.ok) throw new Error("cannot load " + url + ": " + r.status + " " + r.statusText);
      return r.arrayBuffer();
    }).then(function (b) { return new Uint8Array(b); });
  }
  // Every ending, the player's own or the page's (content that would not load,
  // a player that aborted), reaches the presenter and the host page alike.
  function finish(status, text) {
    if (player.ended) return;
    player.ended = true;
    player.status = status;
    closeViews();
    document.getElementById("loading").hidden = true;
    document.getElementById("restore").hidden = true;
    pointer.hidden = true;
    document.getElementById("end-text").textContent = text;
    document.getElementById("end").hidden = false;
    document.getElementById("again").focus();
    window.dispatchEvent(new CustomEvent("demoend", { detail: { status: status, text: text } }));
  }

  // The frame a link names (#frame=NAME) is the start frame, as the native
  // player's argument is.
  var args = [];
  var hash = location.hash.match(/^#frame=(.*)$/);
  if (hash) {
    // A stray % in a hand-written link must not stop the page: the name as written.
    try { args.push(decodeURIComponent(hash[1])); } catch (e) { args.push(hash[1]); }
  }

  var page = {
    place: function (id, className, x, y, width, height, border, visible, minimized, region, z) {
      var c = canvases[id];
      if (!c) {
        c = canvases[id] = document.createElement("canvas");
        c.dataset.windowClass = className;
        // The presenter view goes to a browser window of its own, for the
        // presenter's screen; where popups are blocked it stays on the page.
        if (className !== "RXPresenter" || !openView(id, c, width, height)) desktop.appendChild(c);
        if (className === "RXDemo") mainId = id;
      }
      var r = ratio(), cw = Math.max(0, width - 2 * border), ch = Math.max(0, height - 2 * border);
      if (c.width !== cw || c.height !== ch) { c.width = cw; c.height = ch; }
      if (c.view) return;  // laid out by its own window
      c.style.left = x / r + "px";
      c.style.top = y / r + "px";
      c.style.width = cw / r + "px";
      c.style.height = ch / r + "px";
      c.style.borderWidth = border / r + "px";
      c.style.zIndex = String(z + 1);
      c.style.display = visible && !minimized ? "block" : "none";
      // 11 x 11 corner ellipses on the top corners.
      c.style.clipPath = region === 2 ? "inset(0 round " + 5.5 / r + "px " + 5.5 / r + "px 0 0)" : "";
      if (id === mainId) document.getElementById("restore").hidden = !(visible && minimized);
    },
    destroy: function (id) {
      if (canvases[id] && canvases[id].view) closeView(canvases[id]);
      if (canvases[id]) canvases[id].remove();
      delete canvases[id];
    },
    present: function (id, rgba, width, height, left, top, right, bottom) {
      var c = canvases[id];
      if (!c || width <= 0 || height <= 0) return;
      if (c.width !== width || c.height !== height) { c.width = width; c.height = height; }
      // The pixels stay where they are in the player's memory: one ImageData
      // over them serves until they move or the memory grows.
      var image = c.image;
      if (!image || image.data.buffer !== HEAPU8.buffer || c.imageAt !== rgba || image.width !== width ||
          image.height !== height) {
        image = c.image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
        c.imageAt = rgba;
      }
      c.getContext("2d").putImageData(image, 0, 0, left, top, right - left, bottom - top);
      player.presents++;
      player.lastPresentAt = performance.now();
      if (!player.firstPresentAt) {
        player.firstPresentAt = player.lastPresentAt;
        document.getElementById("loading").hidden = true;
      }
    },
    title: function (id, title) { if (id === mainId || !mainId) document.title = title || "Demo"; },
    cursor: function (shape) {
      var css = { 32513: "text", 32514: "wait", 32515: "crosshair", 32648: "not-allowed", 32649: "pointer" };
      desktop.style.cursor = css[shape] || "default";
    },
    pointer: function (x, y, shown) {
      var r = ratio();
      pointer.style.left = x / r + "px";
      pointer.style.top = y / r + "px";
      pointer.hidden = !shown;
    },
    frame: function (name) {
      player.frameName = name;
      window.dispatchEvent(new CustomEvent("framechange", { detail: { name: name } }));
      if (window.parent !== window) window.parent.postMessage({ type: "demoplayer:framechange", name: name }, "*");
    },
    messageBox: function (text, caption) {
      document.getElementById("box-caption").textContent = caption;
      document.getElementById("box-text").textContent = text;
      document.getElementById("box").hidden = false;
      document.getElementById("box-ok").focus();
    },
    failure: function (text) { failureText = text; },
    ended: function (status) {
      finish(status, status === 0 ? "The demo has ended." : failureText || output.slice(-3).join("\n") || "The demo has stopped.");
    },
    measureAll: function (css, characters, advances) {
      var ctx = context2d(1, 1);
      ctx.font = css;
      var chars = Array.from(characters);
      for (var i = 0; i < chars.length; ++i) HEAP32[(advances >> 2) + i] = Math.round(ctx.measureText(chars[i]).width);
    },
    renderGlyph: function (css, character, x, baseline, width, height, alpha) {
      var ctx = context2d(width, height);
      ctx.clearRect(0, 0, width, height);
      ctx.font = css;
      ctx.fillStyle = "#fff";
      ctx.textBaseline = "alphabetic";
      ctx.fillText(character, x, baseline);
      var data = ctx.getImageData(0, 0, width, height).data;
      for (var p = 0, n = width * height; p < n; ++p) HEAPU8[alpha + p] = data[p * 4 + 3];
    },
  };

  // ---- the presenter view's own browser window: this page draws into it and
  // takes its keys, size and closing, so it needs no page or server of its own ----
  function openView(id, c, width, height) {
    var r = ratio();
    var w = null;
    try {
      w = window.open("", "demoplayer-presenter-" + id,
                      "popup,width=" + Math.round(width / r) + ",height=" + Math.round(height / r));
    } catch (e) { w = null; }
    if (!w || !w.document) return false;
    var d = w.document;
    d.title = document.title + " - presenter view";
    d.body.style.cssText = "margin:0;overflow:hidden;background:#202830";
    d.body.textContent = "";
    c.style.cssText = "display:block;position:static;border:0";
    d.body.appendChild(c);
    c.view = w;
    function size() {
      var pr = w.devicePixelRatio || 1;
      c.style.width = w.innerWidth + "px";
      c.style.height = w.innerHeight + "px";
      if (!Module.calledRun || w.innerWidth < 1 || w.innerHeight < 1) return;
      Module._web_window_size(id, Math.round(w.innerWidth * pr), Math.round(w.innerHeight * pr));
      wake();
    }
    w.addEventListener("resize", size);
    w.addEventListener("keydown", function (e) {
      var vk = virtualKey(e);
      if (!vk || e.ctrlKey || e.metaKey) return;
      e.preventDefault();
      key(vk, true);
    });
    w.addEventListener("keyup", function (e) { var vk = virtualKey(e); if (vk) key(vk, false); });
    // Closed by the presenter: the player closes its view, as its close button does.
    w.addEventListener("pagehide", function () {
      if (!c.view) return;
      c.view = null;
      Module._web_window_close(id);
      wake();
    });
    size();
    return true;
  }
  function closeView(c) {
    var w = c.view;
    c.view = null;
    w.close();
  }
  function closeViews() {
    for (var id in canvases) if (canvases[id].view) closeView(canvases[id]);
  }
  window.addEventListener("pagehide", closeViews);

  function context2d(width, height) {
    if (!scratch) scratch = document.createElement("canvas");
    if (scratch.width < width) scratch.width = width;
    if (scratch.height < height) scratch.height = height;
    return scratch.getContext("2d", { willReadFrequently: true });
  }

  // ---- input ----
  function screenPoint(e) {
    var r = ratio();
    return [Math.round(e.clientX * r), Math.round(e.clientY * r)];
  }
  function pointerInput(kind, e) {
    if (!Module.calledRun) return;
    var p = screenPoint(e);
    Module._web_pointer(kind, p[0], p[1]);
    wake();
  }
  desktop.addEventListener("pointermove", function (e) {
    pointer.hidden = true;
    pointerInput(0, e);
  });
  desktop.addEventListener("pointerdown", function (e) {
    desktop.focus();
    if (e.button === 0) {
      desktop.setPointerCapture(e.pointerId);
      pointerInput(0, e);
      pointerInput(1, e);
    } else if (e.button === 2) {
      pointerInput(3, e);
    }
    e.preventDefault();
  });
  desktop.addEventListener("pointerup", function (e) { if (e.button === 0) pointerInput(2, e); });
  desktop.addEventListener("contextmenu", function (e) { e.preventDefault(); });

  // Windows virtual-key codes, which the demo's key lines are written in.
  var named = { Escape: 27, Enter: 13, Tab: 9, Backspace: 8, Space: 32, PageUp: 33, PageDown: 34, End: 35, Home: 36,
    ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40, Insert: 45, Delete: 46, ShiftLeft: 16, ShiftRight: 16,
    ControlLeft: 17, ControlRight: 17, AltLeft: 18, AltRight: 18, NumpadMultiply: 106, NumpadAdd: 107,
    NumpadSubtract: 109, NumpadDecimal: 110, NumpadDivide: 111, NumpadEnter: 13 };
  function virtualKey(e) {
    var code = e.code || "", m;
    if (named[code]) return named[code];
    if ((m = code.match(/^Key([A-Z])$/))) return m[1].charCodeAt(0);
    if ((m = code.match(/^Digit([0-9])$/))) return 48 + +m[1];
    if ((m = code.match(/^Numpad([0-9])$/))) return 96 + +m[1];
    if ((m = code.match(/^F([0-9]{1,2})$/)) && +m[1] >= 1 && +m[1] <= 24) return 111 + +m[1];
    return 0;
  }
  function key(vk, down) {
    if (!Module.calledRun) return;
    Module._web_key(vk, down ? 1 : 0);
    wake();
  }
  document.addEventListener("keydown", function (e) {
    if (!document.getElementById("box").hidden || !document.getElementById("end").hidden) return;
    if (e.ctrlKey || e.metaKey || e.target.closest("#controls")) return;
    var vk = virtualKey(e);
    if (!vk) return;
    e.preventDefault();  // F1, arrows and the rest are the demo's, not the browser's
    key(vk, true);
  });
  document.addEventListener("keyup", function (e) {
    var vk = virtualKey(e);
    if (vk) key(vk, false);
  });
  window.addEventListener("resize", function () {
    if (!Module.calledRun) return;
    var s = screenSize();
    Module._web_viewport(s[0], s[1]);
    wake();
  });
  window.addEventListener("focus", function () { if (Module.calledRun) { Module._web_focus(1); wake(); } });
  window.addEventListener("blur", function () { if (Module.calledRun) { Module._web_focus(0); wake(); } });
  window.addEventListener("hashchange", function () { location.reload(); });

  document.querySelectorAll("#controls button[data-key]").forEach(function (b) {
    b.addEventListener("click", function () {
      var vk = +b.dataset.key;
      key(vk, true);
      key(vk, false);
      desktop.focus();
    });
  });
  document.getElementById("fullscreen").addEventListener("click", function () {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (document.documentElement.requestFullscreen) document.documentElement.requestFullscreen();
    desktop.focus();
  });
  document.getElementById("restore").addEventListener("click", function () {
    Module._web_restore();
    wake();
    desktop.focus();
  });
  document.getElementById("box-ok").addEventListener("click", function () {
    document.getElementById("box").hidden = true;
    Module._web_box_closed();
    wake();
    desktop.focus();
  });
  document.getElementById("again").addEventListener("click", function () {
    location.replace(location.pathname + location.search);
  });

  // ---- loading ----
  function loadContent() {
    var files;
    if (inline()) {
      files = Promise.resolve([["demo.dat", decode(inline().content)]]);
    } else if (params.get("files")) {
      // Side files (tests): an empty program, so that the player looks beside it.
      var urls = params.get("files").split(",");
      files = Promise.all(urls.map(function (u) {
        return fetchBytes(u).then(function (b) { return [u.split("/").pop(), b]; });
      })).then(function (list) { return [["demo.dat", new Uint8Array(0)]].concat(list); });
    } else {
      files = fetchBytes(params.get("demo") || "demo.dat").then(function (b) { return [["demo.dat", b]]; });
    }
    var fonts = ["DejaVu Sans", "Liberation Sans"].reduce(function (all, family) {
      return all.concat(["normal", "bold"].map(function (w) { return document.fonts.load(w + " 16px \"" + family + "\""); }));
    }, []);
    return Promise.all([files, Promise.all(fonts)]).then(function (got) { return got[0]; });
  }

  var Module = (window.Module = {
    arguments: args,
    page: page,
    print: function (text) {
      output.push(text);
      if (output.length > 20) output.shift();
      console.log(text);
    },
    printErr: function (text) { console.warn(text); },
    preRun: [function () {
      Module.addRunDependency("demo");
      loadContent().then(function (files) {
        Module.FS.mkdir("/demo");
        files.forEach(function (f) { Module.FS.writeFile("/demo/" + f[0], f[1], { canOwn: true }); });
        Module.FS.chdir("/demo");
        Module.removeRunDependency("demo");
      }).catch(function (err) {
        finish(1, "The demo could not be loaded: " + err.message);
      });
    }],
    onRuntimeInitialized: function () {
      var s = screenSize();
      Module._web_set_screen(s[0], s[1]);
      desktop.focus();
    },
    onAbort: function (what) { finish(1, "The player stopped: " + what); },
  });
  // Read by the player's script as it starts, once the inline tag has run.
  Object.defineProperty(Module, "wasmBinary", {
    get: function () { return inline() ? decode(inline().wasm) : undefined; },
  });
})();
