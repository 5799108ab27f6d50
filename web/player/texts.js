// @ts-check
// Texts over the clip: the message of a mark, the start message, problem notices.

/** The mark whose message shows, and its message, to place it again when the stage is
 * fitted to a new window size (a phone turned, a window resized).
 * @type {{button: HTMLElement, message: string} | null} */
let bubbleOf = null;

/** Shows a mark's message beside it, kept inside the stage. @param {HTMLElement} button
 * @param {string} message */
function showBubble(button, message) {
  if (!message) {
    hideBubble();
    return;
  }
  bubbleOf = { button, message };
  bubble.textContent = shownText(message);
  bubble.style.left = '0';
  bubble.style.top = '0';
  bubble.hidden = false;
  const area = stage.getBoundingClientRect();
  const mark = button.getBoundingClientRect();
  const box = bubble.getBoundingClientRect();
  let left = mark.right - area.left + 6;
  if (left + box.width > area.width) left = mark.left - area.left - 6 - box.width;
  let top = mark.top - area.top + (mark.height - box.height) / 2;
  left = Math.max(0, Math.min(left, area.width - box.width));
  top = Math.max(0, Math.min(top, area.height - box.height));
  bubble.style.left = left + 'px';
  bubble.style.top = top + 'px';
}

function hideBubble() {
  bubbleOf = null;
  bubble.hidden = true;
  bubble.textContent = '';
}

/** Places the message on show beside its mark again, after the stage changed its size. */
function placeBubbleAgain() {
  if (bubbleOf && !bubble.hidden && bubbleOf.button.isConnected)
    showBubble(bubbleOf.button, bubbleOf.message);
}

/** @param {string} text */
function showStartMessage(text) {
  part('mw-banner-text').textContent = shownText(text);
  banner.hidden = !text;
}

function dismissStartMessage() {
  banner.hidden = true;
}

let noticeTimer = 0;

/** A notice of a problem that fades by itself. @param {string} text */
function tellProblem(text) {
  notice.textContent = text;
  notice.hidden = false;
  notice.classList.remove('mw-fading');
  clearTimeout(noticeTimer);
  noticeTimer = window.setTimeout(() => notice.classList.add('mw-fading'), NOTICE_SHOWN_MS);
}

/** @param {number} index */
function missingText(index) {
  return 'The clip "' + shownText(clipAt(index)?.name || '') + '" is missing from this package.';
}

/** @param {number} index */
function cannotShowText(index) {
  return 'The clip "' + shownText(clipAt(index)?.name || '') +
    '" cannot be shown: it is damaged or of a kind this player cannot play.';
}

/** The text in place of a clip that cannot be shown. @param {string} text */
function setCaption(text) {
  caption.textContent = text;
  caption.hidden = !text;
}
