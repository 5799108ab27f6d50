// @ts-check
// Showing clips and walking the map: the stage, history, keys and the start.

let current = -1;
let previousClip = -1;
let depth = 0;
let request = 0; // the latest clip asked for; an older one that is still loading is dropped

/** Puts a loaded clip on screen with its marks. @param {Loaded} entry */
function putOnScreen(entry) {
  // A movie comes on screen from its beginning, as a clip opened afresh, also when it was
  // kept loaded since it was last shown.
  if (current !== entry.index && entry.element instanceof HTMLVideoElement &&
    entry.element.currentTime > 0) entry.element.currentTime = 0;
  if (current !== entry.index) previousClip = current;
  current = entry.index;
  setCaption('');
  picture.replaceChildren(entry.element);
  attachMovie(entry.element instanceof HTMLVideoElement ? entry.element : null);
  placeMarks(entry.index);
  fitStage();
  prefetchAround(entry.index);
}

/** Shows a clip. A photo waits until it is decoded, so the clip on screen stays until the
 * next can replace it; a clip that cannot be shown is told and the screen stays as it was.
 * @param {number} index @param {(shown: boolean) => void} done */
function show(index, done) {
  const clip = clipAt(index);
  const asked = ++request;
  if (!clip || clip.kind === 'missing' || !clip.src) {
    tellProblem(missingText(index));
    done(false);
    return;
  }
  const entry = load(index);
  if (!entry) return;
  const finish = (/** @type {boolean} */ ok) => {
    if (asked !== request) return;
    if (ok) putOnScreen(entry);
    else tellProblem(cannotShowText(index));
    done(ok);
  };
  if (entry.settled) finish(entry.ok);
  else entry.ready.then(finish);
}

/** Follows a mark to its target: a new step of the walk, which the address names.
 * @param {number} index @param {boolean} byKeyboard */
function follow(index, byKeyboard) {
  show(index, (shown) => {
    if (!shown) return;
    dismissStartMessage();
    depth += 1;
    const fragment = '#' + encodeURIComponent(clipAt(index)?.id || '');
    history.pushState({ [STATE_KEY]: depth }, '', fragment);
    if (movie) playMovie();
    if (byKeyboard) stage.focus({ preventScroll: true });
  });
}

/** Back and Forward of the browser, and a fragment typed into the address. */
function onAddressChanged() {
  const state = history.state;
  const wanted = clipOfAddress();
  const index = wanted >= 0 ? wanted : map ? map.start : -1;
  const from = depth;
  const to = state && typeof state[STATE_KEY] === 'number' ? state[STATE_KEY] : depth + 1;
  if (!state) history.replaceState({ [STATE_KEY]: to }, '');
  depth = to;
  if (index === current) return;
  show(index, (shown) => {
    if (shown && movie) playMovie();
    // A clip that cannot be shown is stepped over: the address goes back where it was.
    if (!shown && from !== to) {
      depth = from;
      history.go(from - to);
    }
  });
}

function goBack() {
  if (depth > 0) history.back();
}

// ---- The stage: the clip area's shape, as large as the window allows ----

function fitStage() {
  if (!map) return;
  const width = Math.max(1, map.stage.width);
  const height = Math.max(1, map.stage.height);
  const room = { width: window.innerWidth, height: window.innerHeight - movieBar.offsetHeight };
  const scale = Math.max(0, Math.min(room.width / width, room.height / height));
  stage.style.width = Math.floor(width * scale) + 'px';
  stage.style.height = Math.floor(height * scale) + 'px';
  movieBar.style.width = stage.style.width;
}

// ---- Keys and the pointer outside the marks ----

/** @param {KeyboardEvent} event */
function onKey(event) {
  const target = /** @type {HTMLElement | null} */ (event.target);
  const inField = target instanceof HTMLInputElement;
  if ((event.key === 'Backspace' && !inField && !event.altKey && !event.ctrlKey) ||
    (event.key === 'ArrowLeft' && event.altKey)) {
    event.preventDefault();
    goBack();
  } else if (event.key === ' ' && movie && (target === document.body || target === stage)) {
    event.preventDefault();
    togglePause();
  } else if (event.key === 'Escape') {
    dismissStartMessage();
    hideBubble();
  }
}

function wirePage() {
  window.addEventListener('resize', () => {
    fitStage();
    placeBubbleAgain();
  });
  window.addEventListener('popstate', onAddressChanged);
  document.addEventListener('keydown', onKey);
  part('mw-banner-close').addEventListener('click', dismissStartMessage);
  banner.addEventListener('click', dismissStartMessage);
  notice.addEventListener('transitionend', () => {
    if (notice.classList.contains('mw-fading')) notice.hidden = true;
  });
  stage.addEventListener('pointerdown', (event) => {
    if (!(event.target instanceof HTMLButtonElement)) {
      armedMark = -1;
      hideBubble();
    }
  });
  wireMovieBar();
}

function start() {
  wirePage();
  if (!map || map.clips.length === 0) {
    setCaption(map ? 'This page holds no clips to play.' :
      'This page cannot be played: its map is damaged.');
    return;
  }
  fitStage();
  showStartMessage(map.message || '');
  const state = history.state;
  depth = state && typeof state[STATE_KEY] === 'number' ? state[STATE_KEY] : 0;
  if (!state) history.replaceState({ [STATE_KEY]: depth }, '');
  const wanted = clipOfAddress();
  const index = wanted >= 0 ? wanted : map.start;
  const entry = load(index);
  if (!entry || clipAt(index)?.kind === 'missing') {
    current = index;
    placeMarks(index);
    setCaption(missingText(index));
    return;
  }
  // The first clip goes on screen at once: nothing is there to keep meanwhile.
  putOnScreen(entry);
  entry.ready.then((ok) => {
    if (!ok && current === index) setCaption(cannotShowText(index));
  });
  if (movie) playMovie();
}

start();
