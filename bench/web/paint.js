// How fast the web player paints, opened from the file system in Chromium, each figure
// against a bare page measured in the same run:
//  - the start clip painted, against a page holding the same photo in one <img>;
//  - a click on a mark to the next (loaded ahead) photo painted, against a bare page whose
//    click shows a second <img>, decoded beforehand.
// Paint times are the browser's own (Element Timing). Photos: 12 MP JPEGs made here.
// Run after a build: node bench/web/paint.js [rounds]
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const web = require('../../tests/web/support');

const ROUNDS = Number(process.argv[2] || 5);
const VIEWPORT = { width: 1280, height: 800 };

function makeExport() {
  const home = web.tempFolder();
  const photos = ['hall', 'garden'].map((name, i) => {
    const file = path.join(home, `${name}.jpg`);
    const filter = `testsrc2=s=4000x3000,hue=h=${i * 120},noise=alls=30:allf=t`;
    require('node:child_process').execFileSync('ffmpeg', ['-v', 'error', '-nostdin', '-y',
      '-f', 'lavfi', '-i', filter, '-frames:v', '1', '-q:v', '3', file]);
    return file;
  });
  const map = web.writeMap(path.join(home, 'tour.clm'), [
    { clip: photos[0], x: 0.5, y: 0.5, size: 30, target: photos[1], message: 'Garden' },
    { clip: photos[1], x: 0.5, y: 0.5, size: 30, target: photos[0], message: 'Hall' },
  ]);
  const folder = web.exportWeb(map, path.join(home, 'web'));
  const fill = 'style="display:block;width:100vw;height:100vh"';
  fs.writeFileSync(path.join(folder, 'bare.html'), '<!DOCTYPE html><html><body style="margin:0">' +
    `<img elementtiming="bare" src="clips/hall.jpg" ${fill}></body></html>`);
  fs.writeFileSync(path.join(folder, 'bare-click.html'), '<!DOCTYPE html><html>' +
    '<body style="margin:0"><img id="a" elementtiming="bare" src="clips/hall.jpg" ' + fill +
    '>' +
    '<img id="b" elementtiming="bare" src="clips/garden.jpg" ' + fill.replace('block', 'none') +
    '><script>b.decode().then(() => { document.onclick = () => { a.style.display = "none"; ' +
    'b.style.display = "block"; }; });</script></body></html>');
  return folder;
}

/** Render times of the painted images (ms from the page's start), as the browser gives them. */
function paintTimes(page) {
  return page.evaluate(() => /** @type {any} */ (window).mwPaints);
}

async function openCounting(context, url) {
  const page = await context.newPage();
  await page.addInitScript(() => {
    const paints = [];
    /** @type {any} */ (window).mwPaints = paints;
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) paints.push(/** @type {any} */ (entry).renderTime);
    }).observe({ type: 'element', buffered: true });
    document.addEventListener('click', (event) => {
      /** @type {any} */ (window).mwClick = event.timeStamp;
    }, true);
  });
  await page.goto(url);
  await page.waitForFunction(() => /** @type {any} */ (window).mwPaints.length > 0,
    null, { timeout: 60000 });
  return page;
}

/** Start paint of a fresh page, in a context of its own so nothing is cached. */
async function startPaint(browser, url) {
  const context = await browser.newContext({ viewport: VIEWPORT });
  const page = await openCounting(context, url);
  const [first] = await paintTimes(page);
  return { context, page, first };
}

/** Click in the middle of the page, once what is loaded ahead has settled; click to paint. */
async function clickPaint(page) {
  await page.waitForLoadState('networkidle');
  await page.waitForTimeout(1500);
  const before = (await paintTimes(page)).length;
  await page.mouse.click(VIEWPORT.width / 2, VIEWPORT.height / 2);
  await page.waitForFunction((n) => /** @type {any} */ (window).mwPaints.length > n, before);
  const paints = await paintTimes(page);
  const clicked = await page.evaluate(() => /** @type {any} */ (window).mwClick);
  return paints[before] - clicked;
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function main() {
  const folder = makeExport();
  const url = (name) => web.fileUrl(path.join(folder, name));
  const browser = await web.launchBrowser();
  const figures = { bareStart: [], playerStart: [], bareClick: [], playerClick: [] };
  try {
    for (let round = 0; round < ROUNDS; round += 1) {
      const bare = await startPaint(browser, url('bare.html'));
      figures.bareStart.push(bare.first);
      await bare.context.close();
      const player = await startPaint(browser, url('index.html'));
      figures.playerStart.push(player.first);
      figures.playerClick.push(await clickPaint(player.page));
      await player.context.close();
      const bareClick = await startPaint(browser, url('bare-click.html'));
      figures.bareClick.push(await clickPaint(bareClick.page));
      await bareClick.context.close();
    }
  } finally {
    await browser.close();
  }
  const m = Object.fromEntries(Object.entries(figures).map(([k, v]) => [k, median(v)]));
  console.log(`rounds: ${ROUNDS}, photos 4000 x 3000, window ${VIEWPORT.width} x ${VIEWPORT.height}`);
  console.log(`start clip painted: player ${m.playerStart.toFixed(1)} ms, bare <img> page ` +
    `${m.bareStart.toFixed(1)} ms: ${(m.playerStart / m.bareStart).toFixed(2)} x (at most 1.2 x)`);
  console.log(`click to the next photo painted: player ${m.playerClick.toFixed(1)} ms, bare page ` +
    `${m.bareClick.toFixed(1)} ms: ${(m.playerClick / m.bareClick).toFixed(2)} x; ` +
    `${(m.playerClick / (1000 / 60)).toFixed(2)} frames of 60 Hz (at most 2, 33 ms)`);
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
