// Movies in the web player: an MPEG-1 clip with sound, transcoded by the exporter, plays
// when its mark is followed, in the folder and in the single file; its control bar plays,
// pauses, stops and seeks; a movie the browser cannot play is told.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const web = require('./support');

const RED = 'ff0000';

let browser;
let home;
let folder;
let single;

function makeTour() {
  home = web.tempFolder();
  const red = web.makePhoto(path.join(home, 'hall.jpg'), RED);
  const movie = web.makeMpeg1Movie(path.join(home, 'walk.mpg'));
  const map = web.writeMap(path.join(home, 'tour.clm'), [
    { clip: red, x: 0.5, y: 0.5, size: 20, target: movie, message: 'Watch the walk' },
    { clip: movie, x: 0.1, y: 0.1, size: 20, target: red, message: 'Back to the hall' },
  ]);
  folder = web.exportWeb(map, path.join(home, 'web'));
  single = web.exportWeb(map, path.join(home, 'tour.html'));
}

function movieTime(page) {
  return page.evaluate(() => document.querySelector('video')?.currentTime ?? -1);
}

/** Waits until the movie's time has moved on by `by` seconds from `from`. */
async function waitPast(page, from, by = 0.3) {
  await page.waitForFunction(([t]) => (document.querySelector('video')?.currentTime ?? -1) > t,
    [from + by], { timeout: 10000 });
}

/** Asserts that the movie stands still for a while. */
async function expectStill(page) {
  const first = await movieTime(page);
  await page.waitForTimeout(400);
  assert.equal(await movieTime(page), first, 'the movie stands still');
}

async function followToMovie(page) {
  await page.getByRole('button', { name: 'Watch the walk' }).click();
  await page.waitForURL(/#walk\.[a-z0-9]+$/);
}

before(async () => {
  makeTour();
  browser = await web.launchBrowser();
});
after(async () => browser && browser.close());

describe('a movie in the web player', () => {
  let page;
  before(async () => {
    page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    await page.goto(web.fileUrl(path.join(folder, 'index.html')));
  });
  after(async () => page && page.close());

  it('starts playing with its sound when its mark is followed', async () => {
    assert.equal(await page.locator('#mw-moviebar').isVisible(), false, 'no bar for a photo');
    await followToMovie(page);
    await waitPast(page, 0.5);
    const state = await page.evaluate(() => {
      const video = /** @type {HTMLVideoElement} */ (document.querySelector('video'));
      return { inline: video.playsInline, muted: video.muted, paused: video.paused,
        sound: /** @type {any} */ (video).webkitAudioDecodedByteCount };
    });
    assert.deepEqual({ ...state, sound: state.sound > 0 },
      { inline: true, muted: false, paused: false, sound: true });
    assert.equal(await page.locator('#mw-moviebar').isVisible(), true);
    const position = Number(await page.locator('#mw-position').inputValue());
    assert.ok(position > 300, `the position control follows the movie (${position} ms)`);
  });

  it('pauses, resumes, stops, plays, and seeks with its control bar', async () => {
    await page.getByRole('button', { name: 'Pause' }).click();
    await expectStill(page);
    await page.getByRole('button', { name: 'Pause' }).click();
    await waitPast(page, await movieTime(page), 0.2);
    await page.getByRole('button', { name: 'Stop' }).click();
    await expectStill(page);
    await page.getByRole('button', { name: 'Pause' }).click();
    await expectStill(page);
    await page.getByRole('button', { name: 'Prev' }).click();
    assert.ok((await movieTime(page)) < 0.1, 'Prev goes to the start');
    await page.locator('#mw-position').fill('1000');
    await page.waitForFunction(() =>
      Math.abs((document.querySelector('video')?.currentTime ?? 0) - 1) < 0.2);
    await page.getByRole('button', { name: 'Play' }).click();
    await waitPast(page, 1.0);
    // Space, with no mark or button chosen, pauses and resumes as in the desktop player.
    await page.locator('#mw-stage').focus();
    await page.keyboard.press('Space');
    await expectStill(page);
    await page.keyboard.press('Space');
    await waitPast(page, await movieTime(page), 0.2);
  });

  it('keeps its marks over the picture and stops when one is followed', async () => {
    await page.getByRole('button', { name: 'Back to the hall' }).click();
    await page.waitForURL(/#hall\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), RED, 40, 'the hall again');
    assert.equal(await page.locator('#mw-moviebar').isVisible(), false);
    assert.equal(await page.locator('video').count(), 0, 'no movie on the stage');
  });

  it('shows the movie with its controls when the browser wants a click before playing',
    async () => {
      const other = await browser.newPage({ viewport: { width: 800, height: 600 } });
      await other.addInitScript(() => {
        HTMLMediaElement.prototype.play = function () {
          return Promise.reject(new DOMException('A click is needed', 'NotAllowedError'));
        };
      });
      await other.goto(web.fileUrl(path.join(folder, 'index.html')));
      await followToMovie(other);
      assert.equal(await other.getByRole('button', { name: 'Play' }).isVisible(), true);
      assert.equal(await other.locator('#mw-notice').isVisible(), false, 'no problem told');
      await other.close();
    });
});

describe('a movie shown again', () => {
  it('starts from its beginning each time its mark is followed, as the desktop player does',
    async () => {
      const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
      await page.goto(web.fileUrl(path.join(folder, 'index.html')));
      await followToMovie(page);
      await waitPast(page, 0.5);
      // Left two seconds in, then the hall, then the same mark again.
      await page.evaluate(() => { document.querySelector('video').currentTime = 2; });
      await page.getByRole('button', { name: 'Back to the hall' }).click();
      await page.waitForURL(/#hall\.jpg$/);
      await followToMovie(page);
      const at = await movieTime(page);
      assert.ok(at < 1, `the movie starts again from its beginning, not at ${at} s`);
      await page.close();
    });
});

describe('movies inside the single file and movies that cannot play', () => {
  it('plays the movie held inside the single file', async () => {
    const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    const requests = web.watchRequests(page, path.dirname(single));
    await page.goto(web.fileUrl(single));
    await followToMovie(page);
    await waitPast(page, 0.5);
    assert.match(await page.evaluate(() => document.querySelector('video')?.src ?? ''), /^blob:/);
    assert.deepEqual(requests.all.filter((url) => url.startsWith('file:')), [web.fileUrl(single)]);
    await page.close();
  });

  it('tells when the browser cannot play a movie', async () => {
    const broken = path.join(home, 'broken');
    fs.cpSync(folder, broken, { recursive: true });
    // The export's movie damaged after the export, as a bad copy would leave it.
    fs.writeFileSync(path.join(broken, 'clips', 'walk.mp4'), Buffer.alloc(64 * 1024, 0x5a));
    const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    await page.goto(web.fileUrl(path.join(broken, 'index.html')));
    await page.getByRole('button', { name: 'Watch the walk' }).click();
    const notice = page.locator('#mw-notice');
    await notice.waitFor({ state: 'visible' });
    assert.equal(await notice.textContent(), 'The clip "walk.mpg" cannot be shown: it is ' +
      'damaged or of a kind this player cannot play.');
    await page.close();
  });
});
