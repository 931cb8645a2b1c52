// The web build in headless Chromium (as the web tests drive it): page load
// to the start-up question and to the first frame, and frame times with the
// example (the baseline: the browser's own frame pace), 100,000 and
// 1,000,000 triangles. Prints figures only.
//   node web_bench.js SITE [RUNS]
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const {pathToFileURL} = require('url');
const {Browser, serveFolder} = require('../tests/web/browser.js');

const site = process.argv[2];
const runs = Number(process.argv[3] || 5);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'polyview-web-bench-'));

// A textured grid of `triangles` triangles over the view.
function gridModel(triangles) {
  const side = Math.ceil(Math.sqrt(triangles / 2));
  const lines = [`UcgenSayisi >> ${triangles}`, 'KaplamaKullanimi >> 1'];
  const vertex = (i, j) => `Vertex ${(-2.7 + 5.4 * i / side).toFixed(6)} ${(-2 + 4 * j / side).toFixed(6)} ` +
                           `${(0.5 * Math.sin(i + j)).toFixed(6)} >> TKoord ${(i / side).toFixed(6)} ${(j / side).toFixed(6)}`;
  let written = 0;
  for (let j = 0; j < side && written < triangles; ++j) {
    for (let i = 0; i < side && written < triangles; ++i) {
      lines.push(vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1));
      if (++written < triangles) lines.push(vertex(i, j), vertex(i + 1, j + 1), vertex(i, j + 1));
      ++written;
    }
  }
  return lines.join('\n') + '\n';
}

// A copy of the site whose examples/ holds the model given, for a link to
// it (?dir=examples).
function siteWith(name, model) {
  const dir = path.join(work, name);
  fs.cpSync(site, dir, {recursive: true});
  if (model) fs.writeFileSync(path.join(dir, 'examples', 'poligon.m'), model);
  return dir;
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const format = (values) => `median ${median(values).toFixed(1)} ms (${values.map((v) => v.toFixed(0)).join(', ')})`;

// No server: the folder's files as file: URLs.
const openAsFiles = async (folder) => ({url: pathToFileURL(folder).href + '/', close: async () => {}});

// One start in a fresh browser (the page served, or opened as a file): the
// question answered No, then `frames` frames timed; the times in milliseconds.
async function measure(folder, frames, query, serve) {
  const server = await serve(folder);
  const browser = await Browser.launch();
  try {
    const navigated = Date.now();
    await browser.send('Page.navigate', {url: server.url + 'polyview.html' + query});
    const until = (expression) => browser.evaluate(`new Promise((resolve) => {
        (function look() { const v = (${expression}); if (v) resolve(v); else requestAnimationFrame(look); })();
      })`);
    const box = await until('window.polyview && polyview.instance && polyview.instance.platform.box');
    const answered = await browser.evaluate('performance.now()');
    await browser.press('Escape');
    const firstFrame = await until('polyview.instance.platform.firstFrameAt');
    const interval = await browser.evaluate(`new Promise((resolve) => {
        const p = polyview.instance.platform, start = p.frames, started = performance.now();
        (function look() {
          if (p.frames >= start + ${frames}) resolve((performance.now() - started) / (p.frames - start));
          else requestAnimationFrame(look);
        })();
      })`);
    await browser.press('Escape');
    return {question: box.shownAt, firstFrame: firstFrame - answered, interval, wall: Date.now() - navigated};
  } finally {
    await browser.close();
    await server.close();
  }
}

(async () => {
  console.log(`web_bench: headless Chromium (SwiftShader WebGL), ${os.cpus().length} cores, ${runs} starts of each (median, then each start)`);
  const pageFiles = fs.readdirSync(site).filter((name) => /^polyview\./.test(name));
  const sizes = pageFiles.map((name) => [name, fs.statSync(path.join(site, name)).size]);
  console.log(`the page: ${sizes.map(([name, size]) => `${name} ${size} bytes`).join(', ')}; ` +
              `${sizes.reduce((sum, [, size]) => sum + size, 0)} bytes in all`);
  // The linked models are fetched before the start, within the page load.
  const cases = [
    ['the example (5 triangles), served', site, 60, '', serveFolder],
    ['the example, the page opened as a file', site, 60, '', openAsFiles],
    ['100,000 triangles, linked', siteWith('100k', gridModel(100000)), 20, '?dir=examples', serveFolder],
    ['1,000,000 triangles, linked', siteWith('1m', gridModel(1000000)), 6, '?dir=examples', serveFolder],
  ];
  let baseline = null;
  for (const [what, folder, frames, query, serve] of cases) {
    const results = [];
    for (let i = 0; i < runs; ++i) results.push(await measure(folder, frames, query, serve));
    const interval = median(results.map((r) => r.interval));
    if (baseline === null) baseline = interval;
    console.log(`${what}:`);
    console.log(`  page load to the start-up question: ${format(results.map((r) => r.question))}`);
    console.log(`  page load to the first frame, less the question's wait for its answer: ` +
                format(results.map((r) => r.question + r.firstFrame)));
    console.log(`  answer to the first frame (model load included): ${format(results.map((r) => r.firstFrame))}`);
    console.log(`  frame time: ${format(results.map((r) => r.interval))}, ${(interval / baseline).toFixed(2)} times the example's`);
  }
  fs.rmSync(work, {recursive: true, force: true});
})().catch((error) => {
  console.error(error);
  fs.rmSync(work, {recursive: true, force: true});
  process.exit(1);
});
