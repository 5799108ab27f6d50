// @ts-check
// Movies and their control bar.

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
