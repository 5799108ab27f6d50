// @ts-check
// The web player's shared ground: the shapes of the map's data, its limits, the page's
// parts and how map text is shown. The player's files are joined in the order of
// parts.txt inside one function of the exported player.js, so they share one scope.

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
