// The web player with a mouse, opened from the file system: the start clip, the message
// while the pointer rests on a mark, a click, Back and Forward, a link to a clip, the
// notice for a missing clip, the start message, and the stage fitting the window.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const web = require('./support');

const RED = 'ff0000';
const GREEN = '00c000';
const BLUE = '0000ff';

let browser;
let folder;
let page;
let indexUrl;

function makeTour() {
  const home = web.tempFolder();
  const red = web.makePhoto(path.join(home, 'hall.jpg'), RED);
  const green = web.makePhoto(path.join(home, 'green room.jpg'), GREEN);
  const blue = web.makePhoto(path.join(home, 'blue.jpg'), BLUE);
  const map = web.writeMap(path.join(home, 'tour.clm'), [
    { clip: red, x: 0.25, y: 0.4, size: 15, target: green, areaWidth: 600, areaHeight: 500,
      message: 'Go to the green room' },
    { clip: red, x: 0.75, y: 0.7, size: 15, target: blue, areaWidth: 600, areaHeight: 500,
      message: 'Nowhere yet' },
    // Later in the map and lying over the first mark's centre: the first mark wins there.
    { clip: red, x: 0.27, y: 0.42, size: 15, target: blue, areaWidth: 600, areaHeight: 500,
      message: 'Under the first' },
    { clip: green, x: 0.5, y: 0.5, size: 20, target: red, message: 'Back to the hall' },
    // A note: a mark without a target.
    { clip: green, x: 0.8, y: 0.2, size: 20, target: '', message: 'Just a note' },
    { clip: blue, x: 0.5, y: 0.5, size: 20, target: red, message: '' },
  ]);
  folder = web.exportWeb(map, path.join(home, 'web'), '--title', 'Tour',
    '--message', 'Welcome to the tour');
  indexUrl = web.fileUrl(path.join(folder, 'index.html'));
}

/** The centre of a mark in page pixels. */
async function markCentre(name) {
  const box = await page.getByRole('button', { name, exact: true }).boundingBox();
  assert.ok(box, `no mark "${name}"`);
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

async function bubbleText() {
  const bubble = page.locator('#mw-bubble');
  return (await bubble.isVisible()) ? bubble.textContent() : '';
}

describe('the web player with a mouse', () => {
  before(async () => {
    makeTour();
    browser = await web.launchBrowser();
    page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    await page.goto(indexUrl);
  });
  after(async () => browser && browser.close());

  it('opens on the start clip, in a stage of the map window\'s shape that fits the window',
    async () => {
      assert.equal(await page.title(), 'Tour');
      await web.expectColour(page, await web.stageInside(page), RED, 40, 'the start clip');
      const stage = await page.locator('#mw-stage').boundingBox();
      assert.ok(Math.abs(stage.height - 600) <= 1, `stage height ${stage.height}`);
      assert.ok(Math.abs(stage.width / stage.height - 610 / 545) < 0.01, 'the stage keeps 610:545');
      assert.ok(Math.abs(stage.x + stage.width / 2 - 400) <= 1, 'the stage is centred');
      await web.expectColour(page, { x: 5, y: 200, width: 30, height: 200 }, '1e1e1e', 12,
        'the room beside the stage');
    });

  it('places each mark at its fractions of the stage, scaled from the area it was placed on',
    async () => {
      const stage = await page.locator('#mw-stage').boundingBox();
      const mark = await page.getByRole('button', { name: 'Go to the green room' }).boundingBox();
      const half = (15 * stage.width) / 600;
      assert.ok(Math.abs(mark.x + mark.width / 2 - (stage.x + 0.25 * stage.width)) < 1.5);
      assert.ok(Math.abs(mark.y + mark.height / 2 - (stage.y + 0.4 * stage.height)) < 1.5);
      assert.ok(Math.abs(mark.width - 2 * half) < 1.5, `mark width ${mark.width}`);
      assert.ok(Math.abs(mark.height - (30 * stage.height) / 500) < 1.5);
    });

  it('shows the start message until it is dismissed', async () => {
    const banner = page.locator('#mw-banner');
    assert.equal(await banner.isVisible(), true);
    assert.equal(await page.locator('#mw-banner-text').textContent(), 'Welcome to the tour');
    await page.mouse.move(10, 10);
    await page.mouse.move(700, 500, { steps: 3 });
    assert.equal(await banner.isVisible(), true, 'the message stays while the pointer moves');
    await page.getByRole('button', { name: 'Hide this message' }).click();
    assert.equal(await banner.isVisible(), false);
  });

  it('shows a mark\'s message beside it while the pointer rests there, quick or slow',
    async () => {
      for (const steps of [1, 25]) {
        await page.mouse.move(20, 20);
        const centre = await markCentre('Go to the green room');
        await page.mouse.move(centre.x, centre.y, { steps });
        assert.equal(await bubbleText(), 'Go to the green room');
        const bubble = await page.locator('#mw-bubble').boundingBox();
        const mark = await page.getByRole('button', { name: 'Go to the green room' }).boundingBox();
        assert.ok(bubble.x >= mark.x + mark.width && bubble.x - (mark.x + mark.width) < 20,
          'the message sits just right of the mark');
        await page.mouse.move(centre.x + 80, centre.y + 80, { steps: 4 });
        assert.equal(await bubbleText(), '', 'the message goes when the pointer leaves');
      }
    });

  it('tells of a missing clip in a notice that fades, and stays on the clip', async () => {
    // As the editor exports a map whose check the person chose to pass over: the clip the
    // second mark leads to is not in the export.
    const home = path.dirname(folder);
    const copy = path.join(home, 'missing');
    fs.cpSync(folder, copy, { recursive: true });
    const index = path.join(copy, 'index.html');
    const html = fs.readFileSync(index, 'utf8');
    const patched = html.replace(/"kind":\s*"photo",(\s*"src":\s*)"clips\/blue\.jpg"/,
      '"kind": "missing",$1null');
    assert.notEqual(patched, html, 'the blue clip is named in the page');
    fs.writeFileSync(index, patched);
    const other = await browser.newPage({ viewport: { width: 800, height: 600 } });
    await other.clock.install();
    await other.goto(web.fileUrl(index));
    await other.getByRole('button', { name: 'Nowhere yet' }).click();
    const notice = other.locator('#mw-notice');
    assert.equal(await notice.textContent(), 'The clip "blue.jpg" is missing from this package.');
    assert.equal(await notice.isVisible(), true);
    assert.equal(new URL(other.url()).hash, '', 'the walk did not move');
    await web.expectColour(other, await web.stageInside(other), RED, 60, 'the clip on screen');
    await other.clock.runFor(9000);
    await other.waitForFunction(() => document.getElementById('mw-notice')?.hidden);
    await other.close();
  });

  it('follows a mark on a click, and the address names the clip on screen', async () => {
    await page.getByRole('button', { name: 'Go to the green room' }).click();
    await page.waitForURL(/#green_room\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), GREEN, 40, 'the followed clip');
    assert.deepEqual(await page.getByRole('button').evaluateAll((buttons) => buttons
      .filter((b) => b.classList.contains('mw-mark')).map((b) => b.getAttribute('aria-label'))),
    ['Back to the hall', 'Just a note'], 'only the marks of the clip on screen are there');
  });

  it('shows the message of a mark without a target, and a click on it leads nowhere',
    async () => {
      const note = page.getByRole('button', { name: 'Just a note' });
      await note.hover();
      assert.equal(await bubbleText(), 'Just a note');
      await note.click();
      assert.match(page.url(), /#green_room\.jpg$/);
      assert.equal(await page.locator('#mw-notice').isVisible(), false, 'no problem told');
      await web.expectColour(page, await web.stageInside(page), GREEN, 60, 'the clip on screen');
    });

  it('walks back and forward through the clips seen with the browser\'s buttons', async () => {
    await page.goBack();
    await web.expectColour(page, await web.stageInside(page), RED, 40, 'after Back');
    assert.equal(new URL(page.url()).hash, '');
    await page.goForward();
    await web.expectColour(page, await web.stageInside(page), GREEN, 40, 'after Forward');
    await page.getByRole('button', { name: 'Back to the hall' }).click();
    await page.waitForURL(/#hall\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), RED, 40, 'a clip seen again');
    await page.goBack();
    await page.goBack();
    await web.expectColour(page, await web.stageInside(page), RED, 40, 'two steps back');
  });

  it('opens the clip a copied link names', async () => {
    const other = await browser.newPage({ viewport: { width: 640, height: 480 } });
    await other.goto(indexUrl + '#green_room.jpg');
    await web.expectColour(other, await web.stageInside(other), GREEN, 40, 'the linked clip');
    // Backspace on the first page seen does not leave the page.
    await other.keyboard.press('Backspace');
    assert.match(other.url(), /#green_room\.jpg$/);
    // A name that is not a clip of the map opens the start clip.
    await other.goto(indexUrl + '#no-such-clip.jpg');
    await other.reload();
    await web.expectColour(other, await web.stageInside(other), RED, 40, 'an unknown link');
    await other.close();
  });

  it('fits the stage to a resized window, the marks keeping their places', async () => {
    await page.setViewportSize({ width: 400, height: 800 });
    const stage = await page.locator('#mw-stage').boundingBox();
    assert.ok(Math.abs(stage.width - 400) <= 1, `stage width ${stage.width}`);
    assert.ok(Math.abs(stage.width / stage.height - 610 / 545) < 0.01);
    const centre = await markCentre('Go to the green room');
    assert.ok(Math.abs(centre.x - (stage.x + 0.25 * stage.width)) < 1.5);
    await page.mouse.move(centre.x, centre.y, { steps: 2 });
    assert.equal(await bubbleText(), 'Go to the green room');
  });
});
