// @ts-check
// The map as the page holds it, the clips' sources (files beside the page or blocks of
// the page) and loading clips ahead of a click.

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

/** The bytes of a file the page carries, decoded piece by piece: its first block says
 * how many pieces follow it (`data-pieces`), each in a block of its own ("id.1", ...).
 * Null when a piece is missing or damaged.
 * @param {HTMLElement} first @returns {Uint8Array<ArrayBuffer>[] | null} */
function carriedParts(first) {
  const count = Number(first.getAttribute('data-pieces') || '1');
  if (!Number.isSafeInteger(count) || count < 1) return null;
  const parts = [];
  try {
    for (let k = 0; k < count; k += 1) {
      const block = k === 0 ? first : document.getElementById(first.id + '.' + k);
      if (!block) return null;
      parts.push(base64Bytes(block.textContent || ''));
    }
  } catch (error) {
    return null; // not base64
  }
  return parts;
}

/** A URL for a clip's source and the way to give it up.
 * @param {string} src @returns {{url: string, release: () => void}} */
function openSource(src) {
  if (!src.startsWith('#')) return { url: src, release: () => {} };
  const block = document.getElementById(src.slice(1));
  const parts = block ? carriedParts(block) : null;
  if (!block || !parts) return { url: '', release: () => {} };
  const type = block.getAttribute('data-type') || 'application/octet-stream';
  const url = URL.createObjectURL(new Blob(parts, { type }));
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
