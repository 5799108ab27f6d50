// @ts-check
// The web player: plays an exported map in the page that holds it, as the desktop player
// does. The map's data sits in the page (#mw-map); clips are files beside the page or,
// in a single-file export, base64 blocks inside it. Map text is always shown as text.
(function () {
  'use strict';

  /** @typedef {{id: string, name: string, kind: string, src: ?string, type: ?string,
   *   poster: ?string, width: number, height: number}} Clip */
  /** @typedef {{clip: number, x: number, y: number, size: number, areaWidth: number,
   *   areaHeight: number, target: ?number, message: string}} Mark */
  /** @typedef {{format: number, title: string, message: string,
   *   stage: {width: number, height: number}, start: number, clips: Clip[],
   *   marks: Mark[]}} MapData */
  /** @typedef {{index: number, element: HTMLImageElement | HTMLVideoElement,
   *   ready: Promise<boolean>, settled: boolean, ok: boolean, release: () => void}} Loaded */

  const PREFETCH_PHOTOS = 4; // photos decoded ahead of a click
  const PREFETCH_MOVIES = 2; // movies loaded ahead to their poster and metadata
  const NOTICE_SHOWN_MS = 8000; // how long a problem notice stays before it fades
  const LONGEST_TEXT = 2000; // longer map texts are cut, so a hostile map cannot stall the page
  const STATE_KEY = 'mwDepth'; // the history entry's distance from the page's first clip

  /** @param {string} id @returns {HTMLElement} */
  function part(id) {
    const element = document.getElementById(id);
    if (!element) throw new Error('The page lacks #' + id);
    return element;
  }

  const stage = part('mw-stage');
  const picture = part('mw-picture');
  const caption = part('mw-caption');
  const marksLayer = part('mw-marks');
  const bubble = part('mw-bubble');
  const banner = part('mw-banner');
  const notice = part('mw-notice');
  const movieBar = part('mw-moviebar');
  const position = /** @type {HTMLInputElement} */ (part('mw-position'));

  /** Map text for display: at most LONGEST_TEXT characters, never half a character.
   * @param {string} text */
  function shownText(text) {
    if (text.length <= LONGEST_TEXT) return text;
    let cut = LONGEST_TEXT;
    const code = text.charCodeAt(cut - 1);
    if (code >= 0xd800 && code <= 0xdbff) cut -= 1;
    return text.slice(0, cut) + '\u2026';
  }

  // ---- The map ----

  /** @returns {MapData | null} */
  function readMap() {
    try {
      const data = JSON.parse(part('mw-map').textContent || '');
      if (data && data.format === 1 && Array.isArray(data.clips) && Array.isArray(data.marks))
        return data;
    } catch (error) {
      // told below
    }
    return null;
  }

  const map = readMap();

  /** @param {number | null | undefined} index @returns {Clip | undefined} */
  function clipAt(index) {
    return map && typeof index === 'number' ? map.clips[index] : undefined;
  }

  /** The clip the address's fragment names, if any. @returns {number} */
  function clipOfAddress() {
    if (!map) return -1;
    let id = location.hash.slice(1);
    try {
      id = decodeURIComponent(id);
    } catch (error) {
      return -1;
    }
    return id ? map.clips.findIndex((clip) => clip.id === id && clip.kind !== 'missing') : -1;
  }

  /** The distinct targets of the marks on a clip, in map order. @param {number} index */
  function targetsOf(index) {
    /** @type {number[]} */
    const targets = [];
    for (const mark of map ? map.marks : []) {
      const target = mark.target;
      if (mark.clip === index && typeof target === 'number' && !targets.includes(target))
        targets.push(target);
    }
    return targets;
  }

  // ---- Clip sources: files beside the page, or blocks of the page turned into Blob URLs ----

  /** @param {string} text @returns {Uint8Array<ArrayBuffer>} */
  function base64Bytes(text) {
    const clean = text.replace(/\s+/g, '');
    const fromBase64 = /** @type {any} */ (Uint8Array).fromBase64;
    if (typeof fromBase64 === 'function') return fromBase64(clean);
    const binary = atob(clean);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i += 1) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  /** A URL for a clip's source and the way to give it up.
   * @param {string} src @returns {{url: string, release: () => void}} */
  function openSource(src) {
    if (!src.startsWith('#')) return { url: src, release: () => {} };
    const block = document.getElementById(src.slice(1));
    if (!block) return { url: '', release: () => {} };
    const type = block.getAttribute('data-type') || 'application/octet-stream';
    const url = URL.createObjectURL(new Blob([base64Bytes(block.textContent || '')], { type }));
    return { url, release: () => URL.revokeObjectURL(url) };
  }

  // ---- Loading ahead and releasing ----

  /** @type {Map<number, Loaded>} */
  const loaded = new Map();

  /** @param {number} index @param {Clip} clip @returns {Loaded} */
  function loadPhoto(index, clip) {
    const source = openSource(clip.src || '');
    const image = new Image();
    image.className = 'mw-clip';
    image.alt = '';
    image.setAttribute('elementtiming', 'mw-clip');
    image.src = source.url;
    /** @type {Loaded} */
    const entry = { index, element: image, ready: Promise.resolve(false), settled: false,
      ok: false, release: () => {
        image.removeAttribute('src');
        source.release();
      } };
    entry.ready = image.decode().then(() => true, () => image.complete && image.naturalWidth > 0)
      .then((ok) => {
        entry.settled = true;
        entry.ok = ok;
        return ok;
      });
    return entry;
  }

  /** A movie is loaded only to its poster and its metadata until it is shown.
   * @param {number} index @param {Clip} clip @returns {Loaded} */
  function loadMovie(index, clip) {
    const source = openSource(clip.src || '');
    const poster = clip.poster ? openSource(clip.poster) : null;
    const video = document.createElement('video');
    video.className = 'mw-clip';
    video.playsInline = true;
    video.preload = 'metadata';
    if (poster) video.poster = poster.url;
    const playable = !clip.type || video.canPlayType(clip.type) !== '';
    if (playable) video.src = source.url;
    /** @type {Loaded} */
    const entry = { index, element: video, ready: Promise.resolve(playable), settled: true,
      ok: playable, release: () => {
        video.pause();
        video.removeAttribute('src');
        video.removeAttribute('poster');
        video.load();
        source.release();
        if (poster) poster.release();
      } };
    return entry;
  }

  /** The clip loaded (or being loaded), loading it now when it is not. @param {number} index */
  function load(index) {
    let entry = loaded.get(index);
    const clip = clipAt(index);
    if (!entry && clip) {
      entry = clip.kind === 'movie' ? loadMovie(index, clip) : loadPhoto(index, clip);
      loaded.set(index, entry);
    }
    return entry;
  }

  /** Loads the targets of the clip on screen ahead, a few at most, and gives up every
   * other clip but the one on screen and the one before it. @param {number} index */
  function prefetchAround(index) {
    const keep = new Set([index, previousClip]);
    let photos = 0;
    let movies = 0;
    for (const target of targetsOf(index)) {
      const kind = clipAt(target)?.kind;
      if (kind === 'photo' && photos < PREFETCH_PHOTOS) photos += 1;
      else if (kind === 'movie' && movies < PREFETCH_MOVIES) movies += 1;
      else continue;
      keep.add(target);
      load(target);
    }
    for (const [held, entry] of loaded) {
      if (keep.has(held)) continue;
      entry.release();
      loaded.delete(held);
    }
  }

  // ---- Texts over the clip: the message of a mark, the start message, problem notices ----

  /** Shows a mark's message beside it, kept inside the stage. @param {HTMLElement} button
   * @param {string} message */
  function showBubble(button, message) {
    if (!message) {
      hideBubble();
      return;
    }
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
    bubble.hidden = true;
    bubble.textContent = '';
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

  // ---- Marks: invisible buttons over the clip ----

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

  // ---- Movies and their control bar ----

  /** @type {HTMLVideoElement | null} */
  let movie = null;
  let stopped = false; // stopped with Stop: Pause does not resume it

  /** Plays the movie on screen, as a click on its mark asks. */
  function playMovie() {
    if (!movie) return;
    stopped = false;
    const shown = movie;
    shown.play().catch((error) => {
      // A browser may want a click first; the Play button gives one.
      if (error && error.name !== 'NotAllowedError' && error.name !== 'AbortError' &&
        shown === movie) movieFailed();
    });
  }

  function movieFailed() {
    if (!movie) return;
    setCaption(cannotShowText(current));
    tellProblem(cannotShowText(current));
  }

  function syncPosition() {
    if (!movie) return;
    const length = Number.isFinite(movie.duration) ? Math.round(movie.duration * 1000) : 0;
    position.max = String(length);
    position.value = String(Math.round(movie.currentTime * 1000));
  }

  /** @param {number} ms */
  function seek(ms) {
    if (movie) movie.currentTime = Math.max(0, ms) / 1000;
  }

  function togglePause() {
    if (!movie || stopped) return;
    if (movie.paused) playMovie();
    else movie.pause();
  }

  function wireMovieBar() {
    part('mw-play').addEventListener('click', playMovie);
    part('mw-pause').addEventListener('click', togglePause);
    part('mw-stop').addEventListener('click', () => {
      if (!movie) return;
      movie.pause();
      stopped = true;
    });
    part('mw-prev').addEventListener('click', () => seek(0));
    part('mw-next').addEventListener('click', () => seek(movie ? movie.duration * 1000 : 0));
    position.addEventListener('input', () => seek(Number(position.value)));
  }

  /** @param {HTMLVideoElement | null} video */
  function attachMovie(video) {
    if (movie && movie !== video) movie.pause();
    movie = video;
    stopped = false;
    movieBar.hidden = !video;
    if (!video) return;
    video.ontimeupdate = syncPosition;
    video.ondurationchange = syncPosition;
    video.onerror = movieFailed;
    syncPosition();
    if (video.error) movieFailed();
  }

  // ---- Showing clips and walking the map ----

  let current = -1;
  let previousClip = -1;
  let depth = 0;
  let request = 0; // the latest clip asked for; an older one that is still loading is dropped

  /** Puts a loaded clip on screen with its marks. @param {Loaded} entry */
  function putOnScreen(entry) {
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
    window.addEventListener('resize', fitStage);
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
})();
