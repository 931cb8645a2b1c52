// The web build's page in headless Chromium: one scenario per run.
//   node web_test.js SCENARIO
// POLYVIEW_SITE: the unpacked zip; POLYVIEW_SERVE: scripts/serve-web.sh;
// POLYVIEW_TOOL: a Linux polyview-tool for the frame comparison (the
// comparison is left out where it is not built); CONVERT: ImageMagick's
// convert, which writes the PNG, JPEG and GIF pictures. Every wait is on
// the page's state (window.polyview and the program's Module.platform),
// checked at each animation frame, with a time limit.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {Browser, serveFolder, decodePng} = require('./browser.js');

const site = process.env.POLYVIEW_SITE;
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'polyview-web-'));

// Of a window's 640 x 480 picture against polyview-tool snapshot, at most
// this many pixels may differ by more than `channelTolerance` in a channel
// (see README: SwiftShader against llvmpipe).
const pixelTolerance = 3072;  // 1%
const channelTolerance = 16;

class Failure extends Error {}
let pageLog = [];  // what the page of the scenario said, shown on failure
function check(condition, message) {
  if (!condition) throw new Failure(message);
}

// The page and what it said; `serve` starts the server (the test's own by
// default); `flags` are the browser's own; with `phoneWidth`, the page is a
// phone's of that width, with touch.
async function openPage(folder, serve = serveFolder, flags = [], phoneWidth = 0) {
  const server = await serve(folder);
  const browser = await Browser.launch(flags);
  if (phoneWidth) await browser.send('Emulation.setDeviceMetricsOverride', {width: phoneWidth, height: 844, deviceScaleFactor: 1, mobile: true});
  if (phoneWidth) await browser.send('Emulation.setTouchEmulationEnabled', {enabled: true, maxTouchPoints: 5});
  const log = pageLog = [];
  browser.on('Runtime.consoleAPICalled', (p) => log.push(p.args.map((a) => a.value).join(' ')));
  browser.on('Runtime.exceptionThrown', (p) => log.push('exception: ' + JSON.stringify(p.exceptionDetails)));
  await browser.navigate(server.url + 'polyview.html' + (server.query || ''));
  const page = {browser, server, log};

  // Waits until `expression` is true in the page; its value.
  page.until = (expression, what, seconds = 30) => browser.evaluate(`new Promise((resolve, reject) => {
      const end = performance.now() + ${seconds * 1000};
      (function look() {
        let value;
        try { value = (${expression}); } catch (error) { value = undefined; }
        if (value) resolve(value);
        else if (performance.now() > end) reject(new Error(${JSON.stringify(what)}));
        else requestAnimationFrame(look);
      })();
    })`).catch((error) => { throw new Failure(`timed out waiting for ${what}`); });
  page.state = () => browser.evaluate('polyview.instance ? polyview.instance.platform : null');
  page.frames = async () => ((await page.state()) || {frames: 0}).frames;

  // The box the program shows, once there; its caption and text.
  page.box = async (caption) => {
    const box = await page.until(`polyview.instance && polyview.instance.platform.box`, `the box "${caption}"`);
    check(box.caption === caption, `the box is "${box.caption}: ${box.text}", not "${caption}"`);
    return box;
  };

  // A window (popup: fullscreen) other than `previous`, with frames drawn.
  page.window = async (isPopup, previous = '') => {
    const id = await page.until(`(() => {
        const p = polyview.instance && polyview.instance.platform;
        const w = p && p.windows.length === 1 && p.windows[0];
        return w && w.isPopup === ${isPopup} && w.id !== ${JSON.stringify(previous)} && w.id;
      })()`, `a ${isPopup ? 'fullscreen' : 'windowed'} window`);
    const frames = await page.frames();
    await page.until(`polyview.instance && polyview.instance.platform.frames >= ${frames + 2}`, 'frames drawn');
    return id;
  };

  // The window's picture as the page shows it.
  page.picture = async (windowId) => {
    const rect = await browser.evaluate(`(() => {
        const r = document.querySelector('#${windowId} canvas').getBoundingClientRect();
        return {x: r.x + scrollX, y: r.y + scrollY, width: r.width, height: r.height};
      })()`);
    return browser.screenshot(rect);
  };

  page.rect = (windowId) => browser.evaluate(`document.querySelector('#${windowId} canvas').getBoundingClientRect().toJSON()`);

  // A left-button drag through page `points`; the turn it makes: half a degree
  // a pixel of the picture, contained in its box scaled (narrow page, fullscreen).
  page.drag = async (windowId, points) => {
    const r = await page.rect(windowId), scale = Math.min(r.width / 640, r.height / 480);
    const at = (point, i) => Math.floor((point[i] - [r.x, r.y][i] - ([r.width, r.height][i] - [640, 480][i] * scale) / 2) / scale);
    const steps = [['mousePressed', points[0]], ...points.slice(1).map((p) => ['mouseMoved', p]), ['mouseReleased', points.at(-1)]];
    for (const [type, [x, y]] of steps) await browser.send('Input.dispatchMouseEvent', {type, x, y, button: 'left', buttons: type === 'mouseReleased' ? 0 : 1});
    return [0, 1].map((i) => (at(points.at(-1), i) - at(points[0], i)) / 2).join();
  };

  // The window's picture against polyview-tool snapshot with `options` (a probe without the tool).
  page.compare = async (windowId, options = []) => {
    const picture = await page.picture(windowId), tool = process.env.POLYVIEW_TOOL;
    if (!tool || !fs.existsSync(tool)) {
      console.log('SKIPPED (part): no polyview-tool to compare the frame with; checked by probes only');
      return check(options.length || !near(pixel(picture, 320, 300), [0, 0, 0], 40), 'no house in the middle of the view');
    }
    const snapshot = path.join(work, 'snapshot.png');
    childProcess.execFileSync(tool, ['snapshot', '--dir', path.join(site, 'examples'), ...options, '--out', snapshot]);
    const differing = differingPixels(picture, decodePng(fs.readFileSync(snapshot)), channelTolerance);
    console.log(`the page's frame against polyview-tool snapshot ${options.join(' ')}: ${differing} of 307200 pixels differ by more than ${channelTolerance}`);
    check(picture.width === 640 && differing <= pixelTolerance, `${differing} pixels differ from the snapshot ${options.join(' ')}`);
  };

  page.ended = async () => {
    await page.until('polyview.exitStatus !== null', 'the end of the program');
    return browser.evaluate('polyview.exitStatus');
  };

  page.close = async () => {
    await browser.close();
    await server.close();
  };
  return page;
}

function pixel(picture, x, y) {
  const at = (Math.floor(y) * picture.width + Math.floor(x)) * 4;
  return [...picture.rgba.subarray(at, at + 3)];
}

function near(a, b, tolerance) {
  return a.every((value, i) => Math.abs(value - b[i]) <= tolerance);
}

// Pixels of two equal-sized pictures that differ by more than `tolerance`
// in a channel.
function differingPixels(a, b, tolerance) {
  let count = 0;
  for (let p = 0; p < a.width * a.height; ++p) {
    for (let c = 0; c < 3; ++c) {
      if (Math.abs(a.rgba[p * 4 + c] - b.rgba[p * 4 + c]) > tolerance) {
        ++count;
        break;
      }
    }
  }
  return count;
}

// A 24-bit BMP of width x height whose colour(x, y) is given top row first.
function bmp(width, height, colour) {
  const rowBytes = (width * 3 + 3) & ~3;
  const bytes = Buffer.alloc(54 + rowBytes * height);
  bytes.write('BM', 0, 'latin1');
  bytes.writeUInt32LE(bytes.length, 2);
  bytes.writeUInt32LE(54, 10);
  bytes.writeUInt32LE(40, 14);
  bytes.writeInt32LE(width, 18);
  bytes.writeInt32LE(height, 22);
  bytes.writeUInt16LE(1, 26);
  bytes.writeUInt16LE(24, 28);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const [r, g, b] = colour(x, height - 1 - y);
      bytes.set([b, g, r], 54 + y * rowBytes + x * 3);
    }
  }
  return bytes;
}

// Four quadrants: red, green at the top; blue, yellow at the bottom.
const quadrantColours = [[220, 30, 30], [30, 200, 40], [40, 60, 220], [230, 210, 20]];
const quadrants = (x, y) => quadrantColours[(y >= 32 ? 2 : 0) + (x >= 32 ? 1 : 0)];

// A textured model that fills the whole view: the picture upright over it.
const fillingModel = ['UcgenSayisi >> 2', 'KaplamaKullanimi >> 1',
  'Vertex -4 -3 0 >> TKoord 0 0', 'Vertex 4 -3 0 >> TKoord 1 0', 'Vertex 4 3 0 >> TKoord 1 1',
  'Vertex -4 -3 0 >> TKoord 0 0', 'Vertex 4 3 0 >> TKoord 1 1', 'Vertex -4 3 0 >> TKoord 0 1', ''].join('\n');

// The quadrants where the picture shows them (the middle of each quarter
// of the window), within `tolerance`; seen from behind when `isMirrored`.
function expectQuadrants(picture, tolerance, what, isMirrored = false) {
  const spots = [[0.25, 0.25], [0.75, 0.25], [0.25, 0.75], [0.75, 0.75]];
  spots.forEach(([fx, fy], i) => {
    // In fullscreen the 4:3 picture is centred in the screen.
    const scale = Math.min(picture.width / 640, picture.height / 480);
    const x = (picture.width - 640 * scale) / 2 + (isMirrored ? 1 - fx : fx) * 640 * scale;
    const y = (picture.height - 480 * scale) / 2 + fy * 480 * scale;
    const got = pixel(picture, x, y);
    check(near(got, quadrantColours[i], tolerance),
          `${what}: quadrant ${i} shows ${got}, not ${quadrantColours[i]}`);
  });
}

// Fingers at page coordinates.
const touch = (page, type, points) => page.browser.send('Input.dispatchTouchEvent', {type, touchPoints: points.map(([x, y]) => ({x, y}))});

// A folder of the test's own, as the viewer's folder or for the page.
function folderWith(name, files) {
  const dir = path.join(work, name);
  fs.mkdirSync(dir, {recursive: true});
  for (const [file, bytes] of Object.entries(files)) fs.writeFileSync(path.join(dir, file), bytes);
  return dir;
}

// A copy of the site whose example folder holds `files` instead.
function siteWith(name, files) {
  const dir = path.join(work, name);
  fs.cpSync(site, dir, {recursive: true});
  fs.rmSync(path.join(dir, 'examples'), {recursive: true});
  folderWith(path.join(name, 'examples'), files);
  return dir;
}

// No server: the folder's files opened as file: URLs. A `serve` whose page is opened with `query`.
const openAsFiles = async (folder) => ({url: require('url').pathToFileURL(folder).href + '/', requests: [], close: async () => {}});
const withQuery = (query, serve = serveFolder) => async (folder) => ({...await serve(folder), query});
// What the page says of a link it did not open (offering the example or a drop).
async function linkRefused(page) {
  await page.until('!document.getElementById("polyview-link-offer").hidden', 'the offer of the example or a drop');
  check(await page.browser.evaluate('polyview.starts') === 0, 'the program was started after all');
  return page.browser.evaluate('document.getElementById("polyview-link-says").textContent');
}

// Serves through scripts/serve-web.sh on a free port.
function serveWithScript(folder) {
  return new Promise((resolve, reject) => {
    const child = childProcess.spawn(process.env.POLYVIEW_SERVE, [folder, '0'], {stdio: ['ignore', 'pipe', 'ignore']});
    let out = '';
    child.on('exit', (code) => reject(new Failure(`serve-web.sh ended with status ${code}: ${out}`)));
    child.stdout.on('data', (data) => {
      out += data;
      const match = /(http:\/\/127\.0\.0\.1:\d+\/)polyview\.html/.exec(out);
      if (match) {
        child.removeAllListeners('exit');
        const ended = new Promise((done) => child.on('exit', done));
        resolve({url: match[1], requests: [], close: () => { child.kill('SIGTERM'); return ended; }});
      }
    });
  });
}

const scenarios = {
  // Served by scripts/serve-web.sh (or `serve`): the question with the focus on it,
  // answered No from the keyboard; the example's frame against
  // polyview-tool snapshot; Esc ends with status 0.
  async example(serve = serveWithScript) {
    const page = await openPage(site, serve);
    try {
      const box = await page.box('Start FullScreen?');
      check(box.text === 'Would You Like To Run In Fullscreen Mode?' && box.buttons.join() === 'Yes,No',
            `the question is ${JSON.stringify(box)}`);
      const focus = await page.browser.evaluate('document.activeElement.closest(".polyview-box") && document.activeElement.textContent');
      check(focus === 'Yes', `the keyboard focus is not on the question's Yes but on ${focus}`);
      await page.browser.press('Escape');
      const id = await page.window(false);
      const size = await page.browser.evaluate(`(() => { const c = document.querySelector('#${id} canvas');
          return [c.width, c.height, c.clientWidth, c.clientHeight, document.activeElement === c]; })()`);
      check(size.join() === '640,480,640,480,true', `the canvas (size, shown size, focus) is ${size}`);
      const picture = await page.picture(id);
      check(near(pixel(picture, 5, 5), [0, 0, 0], 0), `the background at 5,5 is ${pixel(picture, 5, 5)}`);
      await page.compare(id);
      await page.browser.press('Escape');
      const status = await page.ended();
      check(status === 0, `exit status after Esc is ${status}`);
      const note = await page.browser.evaluate('document.getElementById("polyview-ended").hidden ? "" : document.getElementById("polyview-ended-text").textContent');
      check(note === 'polyview ended with exit status 0.', `the page says "${note}"`);
      check(await page.browser.evaluate('!document.querySelector(".polyview-window:not([hidden])")'), 'a window is left');
    } finally {
      await page.close();
    }
  },

  // The unpacked zip opened as a file; a link from there needs a server.
  async file_page() {
    await scenarios.example(openAsFiles);
    const page = await openPage(site, withQuery('?dir=examples', openAsFiles));
    const says = await linkRefused(page).finally(page.close);
    check(/opened as a file.*served over http or https/.test(says), `the page says "${says}"`);
  },

  // Yes: fullscreen; F1 to windowed and back, each a new window (and
  // context); the browser leaving fullscreen by itself is taken as F1; Esc
  // in fullscreen ends with status 0.
  async switch() {
    const page = await openPage(site);
    try {
      await page.box('Start FullScreen?');
      await page.browser.press('Enter');
      let id = await page.window(true);
      const fullscreen = () => page.browser.evaluate('document.fullscreenElement ? document.fullscreenElement.id : ""');
      check(await fullscreen() === 'polyview-screen', 'the page is not fullscreen after Yes');
      const fills = await page.browser.evaluate(`(() => { const r = document.querySelector('#${id} canvas').getBoundingClientRect();
          return r.width === innerWidth && r.height === innerHeight; })()`);
      check(fills, 'the fullscreen window does not fill the screen');
      const picture = await page.picture(id);
      check(!near(pixel(picture, picture.width / 2, picture.height * 0.6), [0, 0, 0], 40), 'no house in fullscreen');
      // A drag in fullscreen, measured in the scaled picture; the view kept across F1.
      const turn = await page.drag(id, [[400, 300], [420, 310], [431, 318]]);

      await page.browser.press('F1');
      id = await page.window(false, id);
      await page.compare(id, ['--turn', turn]);
      check(await fullscreen() === '', 'still fullscreen after F1');
      await page.browser.press('F1');
      id = await page.window(true, id);
      check(await fullscreen() === 'polyview-screen', 'not fullscreen after the second F1');

      // As when the user leaves fullscreen with the browser's own key.
      await page.browser.evaluate('document.exitFullscreen()');
      id = await page.window(false, id);
      check(await fullscreen() === '', 'fullscreen again after the browser left it');
      const builds = await page.browser.evaluate('polyview.instance.platform.windows[0].id');
      check(builds === 'polyview-window-4', `the fourth build is ${builds}`);

      // Esc in fullscreen reaches the viewer (Chromium locks it for the
      // page) and ends it; the page is back to its own size.
      await page.browser.press('F1');
      id = await page.window(true, id);
      await page.browser.press('Escape');
      const status = await page.ended();
      check(status === 0, `exit status after Esc in fullscreen is ${status}`);
      check(await fullscreen() === '', 'still fullscreen after the end');
    } finally {
      await page.close();
    }
  },

  // Yes without the user's gesture: the browser refuses fullscreen and the
  // fallback question follows. No to it closes the program; started again,
  // Yes goes on windowed, and the window's close box ends the program.
  // (Escape, unlike Return and clicks, gives the page no user activation,
  // which would let the next request for fullscreen through.)
  async fallback() {
    const page = await openPage(site);
    const clickYes = () => page.browser.evaluate(
      '[...document.querySelectorAll(".polyview-box button")].find((b) => b.textContent === "Yes").click()');
    try {
      await page.box('Start FullScreen?');
      await clickYes();
      const fallback = await page.box('Kelmo GL');
      check(fallback.text === 'The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?',
            `the fallback question is "${fallback.text}"`);
      await page.browser.press('Escape');
      const closing = await page.box('ERROR');
      check(closing.text === 'Program Will Now Close.', `the box after No is "${closing.text}"`);
      await page.browser.press('Escape');
      let status = await page.ended();
      check(status === 0, `exit status after "Program Will Now Close." is ${status}`);
      const left = await page.browser.evaluate('document.querySelectorAll("#polyview-screen *").length');
      check(left === 0, `the ended program left ${left} elements in the page`);

      await page.browser.evaluate('document.getElementById("polyview-start-again").click()');
      await page.until('polyview.starts === 2', 'a second start');
      await page.box('Start FullScreen?');
      await clickYes();
      await page.box('Kelmo GL');
      await page.browser.press('Enter');
      const id = await page.window(false);
      const close = await page.browser.evaluate(`(() => { const r = document.querySelector('#${id} .polyview-close').getBoundingClientRect();
          return [r.x + r.width / 2, r.y + r.height / 2]; })()`);
      await page.browser.click(close[0], close[1]);
      status = await page.ended();
      check(status === 0, `exit status after the close box is ${status}`);
    } finally {
      await page.close();
    }
  },

  // Files dropped on the page, chosen one by one, and chosen as a folder go
  // into the viewer's folder and are shown at once in the same window (a
  // file alone with the other as it was); F1 reads them too: BMP, PNG, GIF
  // and JPEG, decoded by the browser, upright. Nothing is sent to the server.
  async files() {
    const convert = process.env.CONVERT || 'convert';
    const quadrantsBmp = bmp(64, 64, quadrants);
    const made = folderWith('made', {'quadrants.bmp': quadrantsBmp});
    const picture = (format) => {
      const file = path.join(made, 'quadrants.' + format);
      childProcess.execFileSync(convert, [path.join(made, 'quadrants.bmp'), file]);
      return fs.readFileSync(file);
    };
    const dropped = folderWith('dropped', {'Wall.bmp': picture('png'), 'poligon.m': fillingModel});
    const chosen = folderWith('chosen', {'Wall.bmp': picture('gif')});
    const chosenFolder = folderWith('folder', {'Wall.bmp': picture('jpg'), 'poligon.m': fillingModel});
    folderWith('folder/inner', {'Wall.bmp': bmp(4, 4, () => [255, 0, 255])});

    const page = await openPage(site);
    try {
      await page.box('Start FullScreen?');
      await page.browser.press('Escape');
      let id = await page.window(false);
      const taken = async (count) => page.until(`polyview.filesTaken >= ${count}`, 'the files taken');
      const drop = async (files) => {
        for (const type of ['dragEnter', 'dragOver', 'drop'])
          await page.browser.send('Input.dispatchDragEvent', {type, x: 300, y: 300, data: {items: [], files, dragOperationsMask: 1}});
      };
      const shownAtOnce = async (what) => {  // asked for before the files count as taken, made before a frame
        await page.until(`polyview.instance.platform.frames >= ${await page.frames() + 3}`, 'frames drawn');
        const now = await page.browser.evaluate('polyview.starts + " " + polyview.instance.platform.windows[0].id');
        check(now === `1 ${id}`, `${what}: a new start or window (${now}, not 1 ${id})`);
        expectQuadrants(await page.picture(id), 8, what);
      };
      await drop([path.join(dropped, 'Wall.bmp'), path.join(dropped, 'poligon.m')]);
      await taken(1);
      await shownAtOnce('dropped PNG, at once');

      const input = async (selector, files) => {
        const {root} = await page.browser.send('DOM.getDocument');
        const {nodeId} = await page.browser.send('DOM.querySelector', {nodeId: root.nodeId, selector});
        await page.browser.send('DOM.setFileInputFiles', {nodeId, files});
      };
      await input('#polyview-pick-files', [path.join(chosen, 'Wall.bmp')]);
      await taken(2);
      await shownAtOnce('chosen GIF with the dropped model, at once');

      await input('#polyview-pick-folder', [chosenFolder]);
      await taken(3);
      const folder = await page.browser.evaluate('[...polyview.folder.keys()].sort().join()');
      check(folder === 'Wall.bmp,poligon.m', `the viewer's folder holds ${folder}`);
      await page.browser.press('F1');
      id = await page.window(true, id);
      expectQuadrants(await page.picture(id), 24, 'JPEG from a chosen folder, fullscreen');

      await drop([path.join(made, 'quadrants.bmp')]);
      await taken(4);
      await page.browser.evaluate('polyview.instance.FS.rename("quadrants.bmp", "Wall.bmp")');
      await page.browser.press('F1');
      id = await page.window(false, id);
      expectQuadrants(await page.picture(id), 0, 'BMP, windowed');

      await page.browser.press('Escape');
      check(await page.ended() === 0, 'exit status after Esc is not 0');
      const sent = page.server.requests.filter((r) => !/^GET \/(polyview\.(html|js|wasm)|examples\/(Wall\.bmp|poligon\.m))$/.test(r));
      check(sent.length === 0, `the page asked the server for more than the site: ${sent}`);
    } finally {
      await page.close();
    }
  },

  // A phone's page, 390 wide: the question's buttons, then the whole picture within it; No tapped.
  async phone() {
    const page = await openPage(site, serveFolder, [], 390);
    const within = async (selector) => {
      const [width, scrolled, ...rects] = await page.browser.evaluate(`[document.documentElement.clientWidth, document.documentElement.scrollWidth,
          ...[...document.querySelectorAll(${JSON.stringify(selector)})].map((e) => e.getBoundingClientRect().toJSON())]`);
      check(width === 390 && scrolled === width && rects.length && rects.every((r) => r.width > 0 && r.left >= 0 && r.right <= width),
            `the page ${width} wide scrolls to ${scrolled}; ${selector}: ${JSON.stringify(rects)}`);
      return rects;
    };
    try {
      await page.box('Start FullScreen?');
      const [, no] = await within('.polyview-box button');
      for (const [type, points] of [['touchStart', [[no.x + no.width / 2, no.y + no.height / 2]]], ['touchEnd', []]])
        await touch(page, type, points);
      const [picture] = await within(`#${await page.window(false)} canvas`);
      check(Math.abs(picture.width * 3 - picture.height * 4) < 1, `the picture is ${JSON.stringify(picture)}`);
    } finally {
      await page.close();
    }
  },

  // A drag on the picture at half size (page 353 wide) ending outside it; at 1:1
  // a pinch from 100 to 150 apart (461.8 wheel units), a notch back: each frame against snapshot.
  async gestures() {
    const page = await openPage(site, serveFolder, [], 353);
    try {
      await page.box('Start FullScreen?');
      await page.browser.press('Escape');
      const id = await page.window(false);
      const r = await page.rect(id);
      check(r.width === 320 && r.height === 240, `the picture is shown ${r.width} x ${r.height}`);
      const turn = await page.drag(id, [[r.x + 300, r.y + 100], [r.x + 310, r.y + 105], [r.right + 4, r.y + 115]].map((p) => p.map(Math.round)));
      await page.browser.send('Emulation.setDeviceMetricsOverride', {width: 1280, height: 1024, deviceScaleFactor: 1, mobile: true});
      await page.window(false);
      await page.compare(id, ['--turn', turn]);

      const [x, y] = await page.rect(id).then((c) => [Math.round(c.x + 320), Math.round(c.y + 240)]);
      for (const [type, points] of [['touchStart', [[x - 50, y], [x + 50, y]]], ['touchMove', [[x - 75, y], [x + 75, y]]], ['touchEnd', []]])
        await touch(page, type, points);
      await page.browser.send('Input.dispatchMouseEvent', {type: 'mouseWheel', x, y, deltaX: 0, deltaY: 100});  // a notch backwards
      await page.window(false);
      await page.compare(id, ['--turn', turn, '--zoom', String(0.9 ** ((462 - 120) / 120))]);
    } finally {
      await page.close();
    }
  },

  // No WebGL: the rendering context's box, then the end and why.
  async no_webgl() {
    const page = await openPage(site, serveFolder, ['--disable-3d-apis']);
    try {
      await page.box('Start FullScreen?');
      await page.browser.press('Escape');
      const box = await page.box('ERROR');
      check(box.text === "Can't Create A GL Rendering Context.", `the box says "${box.text}"`);
      await page.browser.press('Enter');
      check(await page.ended() === 0, 'exit status without WebGL is not 0');
      const note = await page.browser.evaluate('document.getElementById("polyview-ended").innerText');
      check(/^polyview ended with exit status 0\..*\n+This browser offers no WebGL/.test(note), `the page says "${note}"`);
    } finally {
      await page.close();
    }
  },

  // Without Wall.bmp: "Initialization Failed." after the window; status 0.
  async missing_picture() {
    const page = await openPage(site);
    try {
      await page.box('Start FullScreen?');
      await page.browser.evaluate('polyview.instance.FS.unlink("Wall.bmp")');
      await page.browser.press('Escape');
      const box = await page.box('ERROR');
      check(box.text === 'Initialization Failed.' && box.buttons.join() === 'OK', `the box is ${JSON.stringify(box)}`);
      check(await page.browser.evaluate('polyview.instance.platform.windows.length') === 0,
            'the window is still there while the box is shown');
      await page.browser.press('Enter');
      check(await page.ended() === 0, 'exit status after the failure is not 0');
    } finally {
      await page.close();
    }
  },

  // Hostile pictures are refused with "Initialization Failed.": sizes over
  // the caps stated in a header (refused before the browser decodes them),
  // a file that is no picture, one cut short, and one over 257 MiB.
  async hostile_picture() {
    const bigBmp = bmp(1, 1, () => [1, 2, 3]);
    bigBmp.writeInt32LE(20000, 18);
    bigBmp.writeInt32LE(-20000, 22);
    const widePng = Buffer.from([0x89, 0x50, 0x4E, 0x47, 13, 10, 26, 10, 0, 0, 0, 13, 0x49, 0x48, 0x44, 0x52,
                                 0, 1, 0x86, 0xA0, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0, 0, 0, 0]);
    const tooLarge = Buffer.alloc(257 * 1024 * 1024 + 1);
    bmp(2, 2, () => [9, 9, 9]).copy(tooLarge);
    const cases = [
      ['a BMP stating 20000 x 20000', bigBmp, false],
      ['a PNG stating 100000 x 1', widePng, false],
      ['no picture at all', Buffer.from('UcgenSayisi >> 1\n'), true],
      ['a PNG cut short', Buffer.from([0x89, 0x50, 0x4E, 0x47, 13, 10, 26, 10, 0, 0, 0, 13, 0x49, 0x48]), true],
      ['a file over 257 MiB', tooLarge, false],
    ];
    const page = await openPage(siteWith('hostile', {'Wall.bmp': cases[0][1], 'poligon.m': fillingModel}), withQuery('?dir=examples'));
    try {
      for (let i = 0; i < cases.length; ++i) {
        const [what, bytes, isDecoded] = cases[i];
        if (i > 0) {
          fs.writeFileSync(path.join(work, 'Wall.bmp'), bytes);
          const {root} = await page.browser.send('DOM.getDocument');
          const {nodeId} = await page.browser.send('DOM.querySelector', {nodeId: root.nodeId, selector: '#polyview-pick-files'});
          await page.browser.send('DOM.setFileInputFiles', {nodeId, files: [path.join(work, 'Wall.bmp')]});
          await page.until(`polyview.filesTaken >= ${i}`, 'the file taken');
          page.log.splice(0);
          await page.browser.evaluate('document.getElementById("polyview-start-again").click()');
        }
        await page.box('Start FullScreen?');
        await page.browser.press('Escape');
        const box = await page.box('ERROR');
        check(box.text === 'Initialization Failed.', `${what}: the box says "${box.text}"`);
        const asked = page.log.some((line) => line.includes('the browser cannot read the picture'));
        check(asked === isDecoded, `${what}: the browser was ${asked ? '' : 'not '}asked to decode it`);
        await page.browser.press('Enter');
        check(await page.ended() === 0, `${what}: exit status is not 0`);
        console.log(`refused: ${what}`);
      }
    } finally {
      await page.close();
    }
  },

  // ?dir= on a second server: fetched where that host allows it (with its
  // turn, and the link to the view), else said why; markup shown as text.
  async link() {
    folderWith('model', {'Wall.bmp': bmp(64, 64, quadrants), 'poligon.m': fillingModel});
    const allowing = await serveFolder(work, {'Access-Control-Allow-Origin': '*'});
    const refusing = await serveFolder(work);
    let page = await openPage(site, withQuery(`?dir=${allowing.url}model&turn=180,0&zoom=1`));
    try {
      await page.box('Start FullScreen?');
      await page.browser.press('Escape');
      const id = await page.window(false);
      expectQuadrants(await page.picture(id), 0, 'the linked model from behind', true);
      const link = await page.browser.evaluate(`document.getElementById('polyview-copy-link').click(),
                                                document.getElementById('polyview-view-link').value`);
      const expected = `${page.server.url}polyview.html?dir=${encodeURIComponent(allowing.url + 'model')}&turn=180,0&zoom=1`;
      check(link === expected, `the link to the view is ${link}, not ${expected}`);
      const markup = '<img src=x onerror="window.ran=1"><script>window.ran=2</script>';
      for (const [dir, said] of [[`${refusing.url}model/`, `Wall.bmp from ${refusing.url}model/Wall.bmp: no answer that this page may read`],
                                 [encodeURIComponent(markup), `${markup}/poligon.m: not found (HTTP 404).`]]) {
        await page.close();
        page = await openPage(site, withQuery('?dir=' + dir));
        const says = await linkRefused(page);
        const ran = await page.browser.evaluate('typeof window.ran + document.querySelectorAll("img, #polyview-link-says script").length');
        check(says.includes(said) && ran === 'undefined0', `for dir=${dir} the page says "${says}" (ran: ${ran})`);
      }
      check(refusing.requests.includes('GET /model/Wall.bmp'), 'the host without permission was not asked');
    } finally {
      await Promise.all([page.close(), allowing.close(), refusing.close()]);
    }
  },
};

(async () => {
  const name = process.argv[2];
  if (!scenarios[name] || !site) {
    console.error(`usage: POLYVIEW_SITE=DIR node web_test.js ${Object.keys(scenarios).join('|')}`);
    process.exit(2);
  }
  try {
    await scenarios[name]();
    console.log(`PASS: ${name}`);
  } catch (error) {
    console.error(`FAIL: ${name}: ${error instanceof Failure ? error.message : error.stack}`);
    if (pageLog.length) console.error('--- the page said:\n' + pageLog.join('\n'));
    process.exitCode = 1;
  } finally {
    fs.rmSync(work, {recursive: true, force: true});
  }
})();
