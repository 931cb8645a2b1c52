// Headless Chromium driven over the DevTools protocol on a pipe, a static
// file server on 127.0.0.1, and PNG reading: what the web tests and the web
// benchmark share. Node's own modules only.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');

// Flags for a headless Chromium with a software WebGL (SwiftShader) that
// reaches nothing but the test's own server.
const chromiumFlags = [
  '--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader',
  '--no-first-run', '--no-default-browser-check', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-quic', '--disable-extensions',
  '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
  '--force-device-scale-factor=1', '--window-size=1280,1024', '--remote-debugging-pipe',
];

// A running browser with one page (and `flags` of its own). Commands
// return promises of their results; events reach the handlers given to on().
class Browser {
  static async launch(flags = []) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'polyview-chromium-'));
    const executable = process.env.CHROMIUM || 'chromium';
    const child = childProcess.spawn(executable, [...chromiumFlags, ...flags, `--user-data-dir=${profile}`],
                                     {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe']});
    const browser = new Browser(child, profile);
    await browser.attach();
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.handlers = new Map();
    this.stderr = '';
    this.exited = new Promise((resolve) => child.on('exit', resolve));
    child.stderr.on('data', (data) => { this.stderr = (this.stderr + data).slice(-20000); });
    let buffered = '';
    child.stdio[4].on('data', (data) => {
      buffered += data.toString('utf8');
      let end;
      while ((end = buffered.indexOf('\0')) >= 0) {
        this.receive(JSON.parse(buffered.slice(0, end)));
        buffered = buffered.slice(end + 1);
      }
    });
    this.exited.then(() => {
      for (const {reject} of this.pending.values()) reject(new Error('chromium ended:\n' + this.stderr));
      this.pending.clear();
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const call = this.pending.get(message.id);
      if (!call) return;
      this.pending.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
      return;
    }
    for (const handler of this.handlers.get(message.method) || []) handler(message.params);
  }

  // A command to the browser (sessionId null) or to the page.
  send(method, params = {}, sessionId = this.sessionId) {
    const id = this.nextId++;
    const message = {id, method, params};
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, {resolve, reject, method});
      this.child.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  on(method, handler) {
    if (!this.handlers.has(method)) this.handlers.set(method, []);
    this.handlers.get(method).push(handler);
  }

  async attach() {
    const {targetInfos} = await this.send('Target.getTargets', {}, null);
    let page = targetInfos.find((t) => t.type === 'page');
    const targetId = page ? page.targetId : (await this.send('Target.createTarget', {url: 'about:blank'}, null)).targetId;
    this.sessionId = (await this.send('Target.attachToTarget', {targetId, flatten: true}, null)).sessionId;
    await this.send('Page.enable');
    await this.send('Runtime.enable');
  }

  // Evaluates an expression in the page; its value (awaited when a promise).
  async evaluate(expression, {userGesture = false} = {}) {
    const {result, exceptionDetails} = await this.send('Runtime.evaluate', {
      expression, awaitPromise: true, returnByValue: true, userGesture,
    });
    if (exceptionDetails) {
      const text = exceptionDetails.exception ? exceptionDetails.exception.description : exceptionDetails.text;
      throw new Error(`in the page: ${text}`);
    }
    return result.value;
  }

  async navigate(url) {
    const loaded = new Promise((resolve) => this.on('Page.loadEventFired', resolve));
    await this.send('Page.navigate', {url});
    await loaded;
  }

  // A key pressed and released as the user does it (trusted input).
  async press(key) {
    const keys = {
      Enter: {code: 'Enter', keyCode: 13, text: '\r'},
      Escape: {code: 'Escape', keyCode: 27},
      F1: {code: 'F1', keyCode: 112},
    };
    const k = keys[key];
    if (!k) throw new Error(`no such key: ${key}`);
    const common = {key, code: k.code, windowsVirtualKeyCode: k.keyCode, nativeVirtualKeyCode: k.keyCode};
    await this.send('Input.dispatchKeyEvent', {type: k.text ? 'keyDown' : 'rawKeyDown', text: k.text, ...common});
    await this.send('Input.dispatchKeyEvent', {type: 'keyUp', ...common});
  }

  // A click at page coordinates.
  async click(x, y) {
    for (const type of ['mousePressed', 'mouseReleased'])
      await this.send('Input.dispatchMouseEvent', {type, x, y, button: 'left', clickCount: 1});
  }

  // A PNG of the page's region (CSS pixels, scale 1) as RGBA.
  async screenshot(clip) {
    const {data} = await this.send('Page.captureScreenshot',
                                   {format: 'png', clip: {...clip, scale: 1}, captureBeyondViewport: true});
    return decodePng(Buffer.from(data, 'base64'));
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close', {}, null), this.exited]);
    } catch (e) {
      // ended already
    }
    const killer = setTimeout(() => this.child.kill('SIGKILL'), 5000);
    await this.exited;
    clearTimeout(killer);
    fs.rmSync(this.profile, {recursive: true, force: true});
  }
}

const contentTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.css': 'text/css', '.bmp': 'image/bmp', '.png': 'image/png', '.txt': 'text/plain; charset=utf-8',
};

// Serves the files of `root` on 127.0.0.1 at an ephemeral port, `headers` on
// every answer, and records every request (method and path), so that a test can see what the page asked for.
function serveFolder(root, headers = {}) {
  const requests = [];
  const server = http.createServer((request, response) => {
    requests.push(`${request.method} ${request.url}`);
    const name = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    const file = path.join(root, path.normalize(name));
    if (request.method !== 'GET' || !file.startsWith(root + path.sep) || !fs.existsSync(file) ||
        !fs.statSync(file).isFile()) {
      response.writeHead(request.method === 'GET' ? 404 : 405, headers);
      response.end();
      return;
    }
    response.writeHead(200, {
      'Content-Type': contentTypes[path.extname(file)] || 'application/octet-stream',
      'Cache-Control': 'no-store',
      ...headers,
    });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({
        url: `http://127.0.0.1:${server.address().port}/`,
        requests,
        close: () => new Promise((done) => { server.closeAllConnections(); server.close(done); }),
      });
    });
  });
}

// RGBA pixels of an 8-bit, non-interlaced PNG (grey, RGB, grey + alpha or RGBA).
function decodePng(bytes) {
  let offset = 8, width = 0, height = 0, channels = 0;
  const data = [];
  while (offset < bytes.length) {
    const length = bytes.readUInt32BE(offset);
    const type = bytes.toString('latin1', offset + 4, offset + 8);
    const body = bytes.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      channels = {0: 1, 2: 3, 4: 2, 6: 4}[body[9]];
      if (body[8] !== 8 || !channels || body[12] !== 0) throw new Error('unsupported PNG');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    offset += length + 12;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? rows[y * stride + i - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + i] : 0;
      const c = i >= channels && y > 0 ? rows[(y - 1) * stride + i - channels] : 0;
      let value = line[i];
      if (filter === 1) value += a;
      else if (filter === 2) value += b;
      else if (filter === 3) value += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        value += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      rows[y * stride + i] = value & 255;
    }
  }
  const rgba = Buffer.alloc(width * height * 4);
  for (let p = 0; p < width * height; ++p) {
    const s = rows.subarray(p * channels, (p + 1) * channels);
    const grey = channels <= 2;
    rgba[p * 4] = s[0];
    rgba[p * 4 + 1] = grey ? s[0] : s[1];
    rgba[p * 4 + 2] = grey ? s[0] : s[2];
    rgba[p * 4 + 3] = channels === 2 ? s[1] : channels === 4 ? s[3] : 255;
  }
  return {width, height, rgba};
}

module.exports = {Browser, serveFolder, decodePng};
