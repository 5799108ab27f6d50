// What the browser tests share: real photos and movies made with ffmpeg, real map files,
// the real exporter run as a process, headless Chromium, and colours read from screenshots.
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');

const binDir = process.env.MW_BIN_DIR || path.join(__dirname, '../../build/bin');
const chromiumPath = process.env.MW_CHROMIUM || '/usr/bin/chromium';

// Flags for a quiet browser that reaches nothing beyond the page it is given.
const chromiumArgs = [
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--no-first-run',
  '--disable-quic',
];

function playwright() {
  try {
    return require(path.join(__dirname, 'node_modules/playwright-core'));
  } catch (error) {
    throw new Error('playwright-core is not installed in tests/web: run scripts/install-deps');
  }
}

/** Headless Chromium with a fresh profile; Playwright adds --no-sandbox when run as root. */
async function launchBrowser() {
  assert.ok(fs.existsSync(chromiumPath), `no browser at ${chromiumPath}: run scripts/install-deps`);
  return playwright().chromium.launch({ executablePath: chromiumPath, args: chromiumArgs });
}

/** A fresh folder, removed when the test process ends. */
function tempFolder() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'mw-web-'));
  process.on('exit', () => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

function ffmpeg(...args) {
  execFileSync('ffmpeg', ['-v', 'error', '-nostdin', '-y', ...args], { stdio: 'pipe' });
}

/** A JPEG of one colour, e.g. makePhoto(file, 'ff0000'). */
function makePhoto(file, rgb, width = 640, height = 480) {
  ffmpeg('-f', 'lavfi', '-i', `color=c=0x${rgb}:s=${width}x${height}`, '-frames:v', '1', file);
  return file;
}

/**
 * A photo stored red above blue, tagged (EXIF orientation 6) to be turned a quarter
 * clockwise when shown: upright it is blue on the left and red on the right.
 */
function makeTurnedPhoto(file) {
  ffmpeg('-f', 'lavfi', '-i', 'color=c=0xff0000:s=640x240', '-f', 'lavfi',
    '-i', 'color=c=0x0000ff:s=640x240', '-filter_complex', 'vstack', '-frames:v', '1', file);
  const tiff = Buffer.from([0x4d, 0x4d, 0, 0x2a, 0, 0, 0, 8, 0, 1,
    0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0]);
  const header = Buffer.alloc(4);
  header.writeUInt16BE(0xffe1, 0);
  header.writeUInt16BE(2 + 6 + tiff.length, 2);
  const jpeg = fs.readFileSync(file);
  fs.writeFileSync(file, Buffer.concat([jpeg.subarray(0, 2), header, Buffer.from('Exif\0\0',
    'latin1'), tiff, jpeg.subarray(2)]));
  return file;
}

/**
 * A photo of several MB (noise hardly compresses): `top` colour above, `bottom` below,
 * so that a piece of it lost or out of place shows in its lower half.
 */
function makeLargePhoto(file, top, bottom, width = 2000, height = 1500) {
  const half = `${width}x${height / 2}`;
  ffmpeg('-f', 'lavfi', '-i', `color=c=0x${top}:s=${half}`, '-f', 'lavfi',
    '-i', `color=c=0x${bottom}:s=${half}`, '-filter_complex', 'vstack,noise=alls=60:allf=u',
    '-frames:v', '1', '-q:v', '1', file);
  return file;
}

/** An H.264 and AAC MP4 that browsers play as it is, of several MB (a noisy picture). */
function makeBrowserMovie(file, seconds = 3) {
  ffmpeg('-f', 'lavfi', '-i', `testsrc=size=320x240:rate=25:duration=${seconds}`,
    '-f', 'lavfi', '-i', `sine=frequency=440:sample_rate=44100:duration=${seconds}`,
    '-vf', 'noise=alls=30:allf=t', '-c:v', 'libx264', '-preset', 'ultrafast', '-crf', '10',
    '-pix_fmt', 'yuv420p', '-c:a', 'aac', '-movflags', '+faststart', file);
  return file;
}

/** An MPEG-1 program stream with MPEG audio: a moving test picture and a tone. */
function makeMpeg1Movie(file, seconds = 4) {
  ffmpeg('-f', 'lavfi', '-i', `testsrc=size=320x240:rate=25:duration=${seconds}`,
    '-f', 'lavfi', '-i', `sine=frequency=440:sample_rate=44100:duration=${seconds}`,
    '-c:v', 'mpeg1video', '-c:a', 'mp2', '-f', 'mpeg', file);
  return file;
}

/**
 * A map file as the editor writes it. Each mark: {clip, x, y, size, target, message,
 * areaWidth, areaHeight}; the first mark's clip is the start clip.
 */
function writeMap(file, marks, width = 610, height = 545) {
  const lines = ['markweaverdata1.01', String(width), String(height)];
  for (const mark of marks) {
    lines.push(mark.clip, mark.x.toFixed(6), mark.y.toFixed(6), String(mark.size ?? 15),
      mark.target, '<reserved>', String(mark.areaWidth ?? 0), String(mark.areaHeight ?? 0),
      mark.message ?? '');
  }
  fs.writeFileSync(file, lines.map((line) => line + '\r\n').join(''));
  return file;
}

/** Runs the real exporter; throws with its last words when it fails. */
function exportWeb(map, output, ...options) {
  const program = path.join(binDir, 'markweaver');
  try {
    execFileSync(program, ['--export-web', map, '--output', output, ...options],
      { stdio: 'pipe', env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
  } catch (error) {
    throw new Error(`${program} --export-web failed: ${error.stderr || error.message}`);
  }
  return output;
}

function fileUrl(file, fragment = '') {
  return 'file://' + file.split('/').map(encodeURIComponent).join('/') + fragment;
}

function paeth(a, b, c) {
  const p = a + b - c;
  const pa = Math.abs(p - a);
  const pb = Math.abs(p - b);
  const pc = Math.abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

/** Decodes a PNG as Chromium writes screenshots: 8-bit RGB or RGBA, not interlaced. */
function decodePng(buffer) {
  let offset = 8;
  let width = 0;
  let height = 0;
  let channels = 4;
  const data = [];
  while (offset < buffer.length) {
    const length = buffer.readUInt32BE(offset);
    const type = buffer.toString('latin1', offset + 4, offset + 8);
    const body = buffer.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      assert.equal(body[8], 8, 'PNG bit depth');
      channels = { 2: 3, 6: 4 }[body[9]];
      assert.ok(channels, `PNG colour type ${body[9]}`);
    } else if (type === 'IDAT') {
      data.push(body);
    }
    offset += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y += 1) {
    const filter = raw[y * (stride + 1)];
    const from = y * (stride + 1) + 1;
    const row = y * stride;
    for (let x = 0; x < stride; x += 1) {
      const a = x >= channels ? pixels[row + x - channels] : 0;
      const b = y > 0 ? pixels[row - stride + x] : 0;
      let predicted = 0;
      if (filter === 1) predicted = a;
      else if (filter === 2) predicted = b;
      else if (filter === 3) predicted = (a + b) >> 1;
      else if (filter === 4) {
        predicted = paeth(a, b, x >= channels && y > 0 ? pixels[row - stride + x - channels] : 0);
      }
      pixels[row + x] = (raw[from + x] + predicted) & 0xff;
    }
  }
  return { width, height, channels, pixels };
}

/** The mean colour [r, g, b] of a rectangle {x, y, width, height} of a screenshot. */
function meanColour(png, rect) {
  const sum = [0, 0, 0];
  let count = 0;
  const x0 = Math.max(0, Math.round(rect.x));
  const y0 = Math.max(0, Math.round(rect.y));
  const x1 = Math.min(png.width, Math.round(rect.x + rect.width));
  const y1 = Math.min(png.height, Math.round(rect.y + rect.height));
  for (let y = y0; y < y1; y += 1) {
    for (let x = x0; x < x1; x += 1) {
      const at = (y * png.width + x) * png.channels;
      for (let i = 0; i < 3; i += 1) sum[i] += png.pixels[at + i];
      count += 1;
    }
  }
  assert.ok(count > 0, 'an empty region');
  return sum.map((value) => Math.round(value / count));
}

/**
 * Asserts that a region of the page shows about `rgb` (hex), e.g. 'ff0000', within a few
 * seconds: a photo that is still being decoded keeps the clip before on screen meanwhile.
 */
async function expectColour(page, rect, rgb, tolerance = 40, what = 'region') {
  const clip = { x: Math.round(rect.x), y: Math.round(rect.y), width: Math.round(rect.width),
    height: Math.round(rect.height) };
  const want = [0, 2, 4].map((i) => parseInt(rgb.slice(i, i + 2), 16));
  const deadline = Date.now() + 5000;
  for (;;) {
    const png = decodePng(await page.screenshot({ clip }));
    const mean = meanColour(png, { x: 0, y: 0, width: png.width, height: png.height });
    const off = Math.max(...mean.map((value, i) => Math.abs(value - want[i])));
    if (off <= tolerance) return;
    if (Date.now() > deadline) assert.fail(`${what} shows rgb(${mean}) where #${rgb} was expected`);
    await page.waitForTimeout(100);
  }
}

/** The stage's box in the page, shrunk by a margin so that its edges do not count. */
async function stageInside(page, margin = 20) {
  const box = await page.locator('#mw-stage').boundingBox();
  assert.ok(box, 'no stage on the page');
  return { x: box.x + margin, y: box.y + margin, width: box.width - 2 * margin,
    height: box.height - 2 * margin };
}

/** Records every request the page makes that is not a file inside `folder` or a blob. */
function watchRequests(page, folder) {
  const inside = fileUrl(fs.realpathSync(folder)) + '/';
  const outside = [];
  const all = [];
  page.context().on('request', (request) => {
    const url = request.url();
    all.push(url);
    if (!(url.startsWith(inside) || url.startsWith('blob:') || url.startsWith('data:')))
      outside.push(url);
  });
  return { outside, all };
}

module.exports = {
  decodePng, expectColour, exportWeb, fileUrl, launchBrowser, makeBrowserMovie, makeLargePhoto,
  makeMpeg1Movie, makePhoto, makeTurnedPhoto,
  meanColour, stageInside, tempFolder, watchRequests, writeMap,
};
