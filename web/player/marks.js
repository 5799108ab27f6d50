// @ts-check
// Marks: invisible buttons over the clip that show their message and follow their target.

let armedMark = -1; // the mark a first tap showed; a second tap follows it
let lastPointerType = '';

/** @param {Mark} mark */
function markName(mark) {
  return shownText(mark.message || clipAt(mark.target)?.name || '');
}

/** A mark's button, placed by fractions of the stage so that it scales with it.
 * @param {Mark} mark @param {number} markIndex @param {number} layer */
function markButton(mark, markIndex, layer) {
  const stageSize = map ? map.stage : { width: 1, height: 1 };
  const areaWidth = mark.areaWidth > 0 ? mark.areaWidth : stageSize.width;
  const areaHeight = mark.areaHeight > 0 ? mark.areaHeight : stageSize.height;
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'mw-mark';
  button.setAttribute('aria-label', markName(mark));
  button.style.left = mark.x * 100 + '%';
  button.style.top = mark.y * 100 + '%';
  button.style.width = (200 * mark.size) / areaWidth + '%';
  button.style.height = (200 * mark.size) / areaHeight + '%';
  // The earlier of two overlapping marks is the one hit, as in the desktop player.
  button.style.zIndex = String(layer);
  const message = mark.message;
  button.addEventListener('pointerdown', (event) => { lastPointerType = event.pointerType; });
  button.addEventListener('pointerenter', (event) => {
    if (event.pointerType !== 'touch') showBubble(button, message);
  });
  button.addEventListener('pointerleave', (event) => {
    if (event.pointerType !== 'touch' && !button.matches(':focus-visible')) hideBubble();
  });
  button.addEventListener('focus', () => showBubble(button, message));
  button.addEventListener('blur', hideBubble);
  button.addEventListener('click', (event) => onMarkClick(event, mark, markIndex, button));
  return button;
}

/** A click follows the mark; on a touch screen the first tap only shows its message.
 * @param {MouseEvent} event @param {Mark} mark @param {number} markIndex
 * @param {HTMLElement} button */
function onMarkClick(event, mark, markIndex, button) {
  const pointerType = /** @type {PointerEvent} */ (event).pointerType || lastPointerType;
  const byTouch = event.detail !== 0 && pointerType === 'touch';
  lastPointerType = '';
  if (byTouch && armedMark !== markIndex && mark.message) {
    armedMark = markIndex;
    showBubble(button, mark.message);
    return;
  }
  armedMark = -1;
  // A mark without a target (its clip has no name) shows its message and leads nowhere.
  if (typeof mark.target === 'number' && clipAt(mark.target)?.name)
    follow(mark.target, event.detail === 0);
}

/** @param {number} index */
function placeMarks(index) {
  hideBubble();
  armedMark = -1;
  marksLayer.replaceChildren();
  if (!map) return;
  const count = map.marks.length;
  map.marks.forEach((mark, markIndex) => {
    if (mark.clip === index) marksLayer.append(markButton(mark, markIndex, count - markIndex));
  });
}
