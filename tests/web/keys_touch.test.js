// The web player without a mouse: marks as buttons in the tab order with a visible ring,
// Enter and Space follow, Backspace and Alt+Left go back; on a touch screen the first tap
// on a mark shows its message and a second tap follows it.
'use strict';

const assert = require('node:assert/strict');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const web = require('./support');

const RED = 'ff0000';
const GREEN = '00c000';
const BLUE = '0000ff';

let browser;
let indexUrl;

function makeTour() {
  const home = web.tempFolder();
  const red = web.makePhoto(path.join(home, 'hall.jpg'), RED);
  const green = web.makePhoto(path.join(home, 'garden.jpg'), GREEN);
  const blue = web.makePhoto(path.join(home, 'pool.jpg'), BLUE);
  const map = web.writeMap(path.join(home, 'tour.clm'), [
    { clip: red, x: 0.3, y: 0.3, size: 15, target: green, message: 'To the garden' },
    // No message: the button is named after the clip it opens.
    { clip: red, x: 0.7, y: 0.3, size: 15, target: blue, message: '' },
    // A mark far smaller than a finger.
    { clip: red, x: 0.5, y: 0.8, size: 2, target: blue, areaWidth: 600, areaHeight: 500,
      message: 'A tiny mark' },
    { clip: green, x: 0.5, y: 0.5, size: 20, target: blue, message: 'To the pool' },
    { clip: blue, x: 0.5, y: 0.5, size: 20, target: red, message: 'To the hall' },
  ]);
  const folder = web.exportWeb(map, path.join(home, 'web'));
  indexUrl = web.fileUrl(path.join(folder, 'index.html'));
}

/** The accessible name of the focused element. */
function focusedName(page) {
  return page.evaluate(() => document.activeElement?.getAttribute('aria-label') ?? '');
}

async function bubbleText(page) {
  const bubble = page.locator('#mw-bubble');
  return (await bubble.isVisible()) ? bubble.textContent() : '';
}

before(async () => {
  makeTour();
  browser = await web.launchBrowser();
});
after(async () => browser && browser.close());

describe('the web player from the keyboard', () => {
  let page;
  before(async () => {
    page = await browser.newPage({ viewport: { width: 800, height: 600 } });
    await page.goto(indexUrl);
  });
  after(async () => page && page.close());

  it('reaches every mark with Tab in map order, named by its message or its target', async () => {
    await page.keyboard.press('Tab');
    assert.equal(await focusedName(page), 'To the garden');
    assert.equal(await bubbleText(page), 'To the garden', 'a focused mark shows its message');
    await page.keyboard.press('Tab');
    assert.equal(await focusedName(page), 'pool.jpg');
    assert.equal(await bubbleText(page), '', 'no message, no box');
    await page.keyboard.press('Tab');
    assert.equal(await focusedName(page), 'A tiny mark');
    await page.keyboard.press('Shift+Tab');
    await page.keyboard.press('Shift+Tab');
    assert.equal(await focusedName(page), 'To the garden');
  });

  it('draws a ring round the focused mark that shows on the photo', async () => {
    const box = await page.getByRole('button', { name: 'To the garden' }).boundingBox();
    // The bright band lies 1 to 4 pixels outside the mark.
    await web.expectColour(page, { x: box.x, y: box.y - 4, width: box.width, height: 3 },
      'ffc800', 60, 'the focus ring');
    await page.keyboard.press('Escape');
    assert.equal(await bubbleText(page), '', 'Escape hides the message');
  });

  it('follows the focused mark with Enter, then Tab starts on the new clip\'s marks',
    async () => {
      await page.keyboard.press('Enter');
      await page.waitForURL(/#garden\.jpg$/);
      await web.expectColour(page, await web.stageInside(page), GREEN, 40, 'after Enter');
      await page.keyboard.press('Tab');
      assert.equal(await focusedName(page), 'To the pool');
    });

  it('follows with Space and goes back with Backspace and Alt+Left', async () => {
    await page.keyboard.press('Space');
    await page.waitForURL(/#pool\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), BLUE, 40, 'after Space');
    await page.keyboard.press('Backspace');
    await page.waitForURL(/#garden\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), GREEN, 40, 'after Backspace');
    await page.keyboard.press('Alt+ArrowLeft');
    await page.waitForURL((url) => url.hash === '');
    await web.expectColour(page, await web.stageInside(page), RED, 40, 'after Alt+Left');
    await page.keyboard.press('Backspace');
    assert.equal(new URL(page.url()).hash, '', 'Backspace on the first clip stays on the page');
    assert.match(page.url(), /index\.html$/);
  });
});

describe('the web player on a touch screen', () => {
  let context;
  let page;
  before(async () => {
    context = await browser.newContext({ hasTouch: true, isMobile: true,
      viewport: { width: 390, height: 700 } });
    page = await context.newPage();
    await page.goto(indexUrl);
  });
  after(async () => context && context.close());

  it('gives every mark a target of at least 24 by 24 pixels', async () => {
    const stage = await page.locator('#mw-stage').boundingBox();
    assert.ok(Math.abs(stage.width - 390) <= 1, 'the stage fits the phone\'s width');
    const tiny = await page.getByRole('button', { name: 'A tiny mark' }).boundingBox();
    assert.ok(tiny.width >= 24 && tiny.height >= 24, `a ${tiny.width} x ${tiny.height} target`);
    assert.ok(Math.abs(tiny.x + tiny.width / 2 - (stage.x + 0.5 * stage.width)) < 1.5,
      'the larger target stays centred on the mark');
  });

  it('shows the message at the first tap and follows at the second', async () => {
    const mark = page.getByRole('button', { name: 'To the garden' });
    await mark.tap();
    assert.equal(await bubbleText(page), 'To the garden');
    assert.equal(new URL(page.url()).hash, '', 'the first tap does not follow');
    // A tap beside the mark takes the message away; the next tap shows it again.
    const stage = await page.locator('#mw-stage').boundingBox();
    await page.touchscreen.tap(stage.x + 20, stage.y + stage.height - 20);
    assert.equal(await bubbleText(page), '');
    await mark.tap();
    assert.equal(new URL(page.url()).hash, '');
    assert.equal(await bubbleText(page), 'To the garden');
    await mark.tap();
    await page.waitForURL(/#garden\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), GREEN, 40, 'after two taps');
  });

  it('follows a mark without a message at the first tap', async () => {
    await page.goBack();
    await page.getByRole('button', { name: 'pool.jpg' }).tap();
    await page.waitForURL(/#pool\.jpg$/);
    await web.expectColour(page, await web.stageInside(page), BLUE, 40, 'after one tap');
  });

  it('keeps a message beside its mark when the phone is turned', async () => {
    const turned = await browser.newContext({ hasTouch: true, isMobile: true,
      viewport: { width: 390, height: 700 } });
    const phone = await turned.newPage();
    await phone.goto(indexUrl);
    const mark = phone.getByRole('button', { name: 'To the garden' });
    await mark.tap();
    assert.equal(await bubbleText(phone), 'To the garden');
    await phone.setViewportSize({ width: 700, height: 390 });
    // Fitted to the turned screen: wider than the phone was.
    await phone.waitForFunction(() => document.getElementById('mw-stage')
      .getBoundingClientRect().width > 400);
    const at = await mark.boundingBox();
    const box = await phone.locator('#mw-bubble').boundingBox();
    // Just to its right, or just to its left, never over it.
    const right = box.x - (at.x + at.width);
    const left = at.x - (box.x + box.width);
    assert.ok((right >= 0 && right < 12) || (left >= 0 && left < 12),
      `the message lies from ${box.x} to ${box.x + box.width}, its mark from ${at.x} to ${at.x + at.width}`);
    assert.ok(box.y < at.y + at.height && at.y < box.y + box.height, 'beside it, not above or below');
    await turned.close();
  });
});
