'use strict';
// The replay viewer page: loads the module and the game's asset files, opens
// the board entry's replay, and runs the steps at 60 per second (times the
// chosen speed) from the animation loop, which stops while paused.
(() => {
  const byId = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const STEPS_PER_SECOND = 60;
  const MAX_STEPS_PER_FRAME = 32;  // a stalled tab catches up this much at once, not more
  // The game's models, pictures and glyphs in one file, its sounds in another
  // (scripts/web-folder.sh packs them).
  const GAME_PACK = '/web/game.pack', SOUND_PACK = '/web/sound.pack';
  const SOUNDS = {hit: 'sound/block.wav', bar: 'sound/bar.wav', intro: 'sound/bgm_1.ogg',
                  loop: 'sound/bgm_2.ogg'};

  // Entries: name length, name, size (32-bit little-endian), bytes.
  function unpack(bytes, what) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const files = new Map();
    let at = 0;
    while (at < bytes.length) {
      if (at + 4 > bytes.length) throw new Error(what + ' is cut short.');
      const nameLength = view.getUint32(at, true);
      if (at + 8 + nameLength > bytes.length) throw new Error(what + ' is cut short.');
      const name = new TextDecoder().decode(bytes.subarray(at + 4, at + 4 + nameLength));
      const size = view.getUint32(at + 4 + nameLength, true);
      const start = at + 8 + nameLength;
      if (start + size > bytes.length) throw new Error(what + ' is cut short.');
      files.set(name, bytes.subarray(start, start + size));
      at = start + size;
    }
    return files;
  }

  let failed = false;
  function fail(message) {
    if (failed) return;
    failed = true;
    const status = byId('status');
    status.textContent = message;
    status.className = 'error';
    for (const id of ['view', 'controls', 'timeline']) byId(id).hidden = true;
    document.body.dataset.state = 'error';
    document.body.classList.remove('bare');
  }
  window.addEventListener('error', (e) => fail('The viewer stopped: ' + (e.message || 'an error')));
  window.addEventListener('unhandledrejection', (e) =>
    fail('The viewer stopped: ' + ((e.reason && e.reason.message) || e.reason || 'an error')));

  async function fetchBytes(url, what) {
    let response;
    try {
      response = await fetch(url);
    } catch (e) {
      throw new Error('The server did not answer for ' + what + '.');
    }
    if (response.status === 404) return null;
    if (!response.ok) throw new Error('The server answered ' + response.status + ' for ' + what + '.');
    return new Uint8Array(await response.arrayBuffer());
  }

  const marks = {};
  const mark = (name) => { marks[name] = Math.round(performance.now()); };
  async function start() {
    mark('script');
    const match = /^\/watch\/(\d{1,18})$/.exec(location.pathname);
    if (!match) throw new Error('This address names no game: it should end in /watch/ and the game\'s number.');
    const id = match[1];
    if (typeof QuadrelViewer !== 'function') throw new Error('The viewer is not installed on this server.');
    const loading = Promise.all([
      fetchBytes('/replays/' + id + '.rep', 'the replay'),
      QuadrelViewer({print: () => {}, printErr: (text) => log.push(text)}),
      fetchBytes(GAME_PACK, 'the game\'s models'),
    ]);
    // The first WebGL2 context starts the browser's GL side, which can take
    // a second: asked for while the files load.
    if (!document.createElement('canvas').getContext('webgl2')) {
      loading.catch(() => {});
      throw new Error('This browser cannot show the game: it offers no WebGL2.');
    }
    const [replay, module, pack] = await loading;
    mark('fetched');
    if (!replay) throw new Error('There is no game number ' + id + ' on this board.');
    if (!pack) throw new Error('The viewer is missing its models on this server.');
    for (const [name, bytes] of unpack(pack, 'The pack of models')) {
      const folder = name.split('/')[0];
      try { module.FS.mkdir('/' + folder); } catch (e) { /* already there */ }
      module.FS.writeFile('/' + name, bytes);
    }
    const started = module.ccall('quadrel_viewer_start', 'number', ['string'], ['#view']);
    if (started < 0) {
      throw new Error('The game cannot be drawn here: ' +
                      module.ccall('quadrel_viewer_text', 'string', [], []) + '.');
    }
    mark('device');
    const ptr = module._malloc(Math.max(1, replay.length));
    module.HEAPU8.set(replay, ptr);
    const json = module.ccall('quadrel_viewer_open', 'string', ['string', 'number', 'number'],
                              [id + '.rep', ptr, replay.length]);
    module._free(ptr);
    if (!json) {
      throw new Error('This replay cannot be read: ' +
                      module.ccall('quadrel_viewer_text', 'string', [], []) + '.');
    }
    return {id, module, check: JSON.parse(json)};
  }

  const log = [];
  const state = {playing: true, speed: 1, keys: 0, credit: 0, last: 0, frame: 0, ended: false,
                 sound: null, firstFrameMs: 0, frames: [], intervals: []};
  let viewer = null;

  const api = {
    advance: (n, keys) => viewer.module._quadrel_viewer_advance(n, keys),
    seek: (step) => viewer.module._quadrel_viewer_seek(step),
    draw: () => viewer.module._quadrel_viewer_draw(),
    fps: (value) => viewer.module._quadrel_viewer_fps(value),
    step: () => viewer.module._quadrel_viewer_step(),
    score: () => viewer.module._quadrel_viewer_score(),
    ended: () => viewer.module._quadrel_viewer_ended() === 1,
    sounds: () => viewer.module._quadrel_viewer_sounds(),
  };

  // ---------------------------------------------------------------- timeline
  let total = 1;
  function drawTimeline() {
    const c = byId('timeline');
    const g = c.getContext('2d');
    const w = c.width, h = c.height, pad = 4;
    g.clearRect(0, 0, w, h);
    const check = viewer.check;
    const points = check.trace.slice();
    if (check.outcome === 'ok' && (!points.length || check.steps > points[points.length - 1][0])) {
      points.push([check.steps, check.score]);
    }
    const maxScore = Math.max(1, ...points.map((p) => p[1]));
    const x = (f) => pad + (w - 2 * pad) * f / total;
    const y = (s) => h - pad - (h - 2 * pad) * Math.max(0, s) / maxScore;
    // A step line: the score holds until the next recorded input.
    g.strokeStyle = '#2d6cdf';
    g.lineWidth = 2;
    g.beginPath();
    let held = y(0);
    g.moveTo(x(0), held);
    for (const [f, s] of points) {
      g.lineTo(x(f), held);
      held = y(s);
      g.lineTo(x(f), held);
    }
    g.lineTo(x(total), held);  // through the all-clear presentation or the fade
    g.stroke();
    if (check.gap) {
      g.fillStyle = 'rgba(204, 34, 34, 0.15)';
      g.fillRect(x(check.gap.frame), 0, w - x(check.gap.frame), h);
      g.fillStyle = '#c22';
      g.fillRect(x(check.gap.frame) - 1, 0, 2, h);
      g.font = '12px sans-serif';
      g.fillText('gap', x(check.gap.frame) + 4, 14);
    }
  }
  // The curve is drawn once; only the cursor over it moves (a redrawn canvas
  // per frame costs the software compositor dearly).
  function moveCursor() {
    const c = byId('timeline');
    const pad = 4;
    byId('cursor').style.left = (1 + pad + (c.width - 2 * pad) * Math.min(1, state.frame / total) - 1).toFixed(1) + 'px';
  }

  function readout() {
    const step = state.frame;
    const seconds = Math.floor(step / STEPS_PER_SECOND);
    const clock = Math.floor(seconds / 60) + ':' + String(seconds % 60).padStart(2, '0');
    byId('readout').textContent = clock + '  step ' + step + '  score ' + api.score().toLocaleString('en');
    document.body.dataset.step = String(step);
    document.body.dataset.score = String(api.score());
  }

  // ---------------------------------------------------------------- sound
  async function soundOn() {
    const ctx = new AudioContext();
    const buffers = {};
    const pack = await fetchBytes(SOUND_PACK, 'the sounds');
    if (!pack) throw new Error('the server has no sounds');
    const files = unpack(pack, 'The pack of sounds');
    await Promise.all(Object.entries(SOUNDS).map(async ([name, file]) => {
      const bytes = files.get(file);
      if (bytes) buffers[name] = await ctx.decodeAudioData(bytes.slice().buffer);
    }));
    return {ctx, buffers, music: null};
  }
  function play(sound, name, loop) {
    const buffer = sound.buffers[name];
    if (!buffer) return null;
    const src = sound.ctx.createBufferSource();
    src.buffer = buffer;
    src.loop = !!loop;
    src.connect(sound.ctx.destination);
    src.start();
    return src;
  }
  function startMusic(sound) {
    if (sound.music) sound.music.stop();
    // The intro once, then the loop behind it, as the game plays them.
    const intro = play(sound, 'intro', false);
    sound.music = intro;
    if (intro) {
      intro.onended = () => {
        if (sound.music === intro) sound.music = play(sound, 'loop', true);
      };
    }
  }
  function takeSounds() {
    const s = api.sounds();
    const sound = state.sound;
    if (!sound || !state.playing) return;
    const music = s >= 1e6, rest = s % 1e6, bars = Math.floor(rest / 1000), hits = rest % 1000;
    if (music) startMusic(sound);
    if (hits) play(sound, 'hit');
    if (bars) play(sound, 'bar');
  }

  // ---------------------------------------------------------------- loop
  function frame(now) {
    state.raf = 0;
    if (!state.playing || failed) return;
    // The HUD's meter: frames drawn over the last second, as the game counts.
    state.drawn = (state.drawn || 0) + 1;
    if (!state.second || now - state.second >= 1000) {
      if (state.second) api.fps(state.drawn * 1000 / (now - state.second));
      state.second = now;
      state.drawn = 0;
    }
    if (state.last) {
      state.credit += (now - state.last) * STEPS_PER_SECOND * state.speed / 1000;
      state.intervals.push(now - state.last);
      if (state.intervals.length > 2000) state.intervals.shift();
    }
    state.last = now;
    const n = Math.min(MAX_STEPS_PER_FRAME, Math.floor(state.credit));
    state.credit -= n;
    if (state.credit > MAX_STEPS_PER_FRAME) state.credit = 0;
    const t = performance.now();
    if (n > 0 || state.keys) api.advance(Math.max(n, state.keys ? 1 : 0), state.keys);
    takeSounds();
    api.draw();
    state.frames.push(performance.now() - t);
    if (state.frames.length > 2000) state.frames.shift();
    state.frame = api.step();
    readout();
    moveCursor();
    if (api.ended()) {
      finish();
      return;
    }
    state.raf = requestAnimationFrame(frame);
  }
  function schedule() {
    if (!state.raf && state.playing && !failed) {
      state.last = 0;
      state.second = 0;
      state.raf = requestAnimationFrame(frame);
    }
  }
  function redraw() {
    api.draw();
    state.frame = api.step();
    readout();
    moveCursor();
  }
  function setPlaying(on) {
    state.playing = on && !api.ended();
    byId('play').textContent = state.playing ? 'Pause' : 'Play';
    document.body.dataset.state = state.playing ? 'playing' : (api.ended() ? 'ended' : 'paused');
    if (state.sound) (state.playing ? state.sound.ctx.resume() : state.sound.ctx.suspend());
    schedule();
  }
  function finish() {
    state.playing = false;
    byId('play').textContent = 'Play again';
    document.body.dataset.state = 'ended';
    document.body.dataset.finalScore = String(api.score());
    byId('seek').textContent = 'The end. Final score ' + api.score().toLocaleString('en') + '.';
  }
  function seek(step) {
    const t = performance.now();
    api.seek(Math.max(0, Math.min(total, Math.round(step))));
    const ms = performance.now() - t;
    redraw();
    api.sounds();
    byId('seek').textContent = 'Went to step ' + state.frame + ' by re-simulating from the start in ' +
                               ms.toFixed(1) + ' ms.';
    document.body.dataset.seekMs = ms.toFixed(1);
    if (state.sound && state.sound.music) {
      state.sound.music.stop();
      state.sound.music = null;
    }
    if (api.ended()) finish();
    else if (byId('play').textContent === 'Play again') setPlaying(false);
    return ms;
  }

  // ---------------------------------------------------------------- controls
  const KEYS = {ArrowLeft: 1, ArrowRight: 2, ArrowUp: 4, ArrowDown: 8};
  function wire() {
    byId('play').addEventListener('click', () => {
      if (api.ended()) seek(0);
      setPlaying(!state.playing);
    });
    for (const speed of [0.5, 1, 2, 4]) {
      byId('speed-' + speed).addEventListener('click', () => {
        state.speed = speed;
        for (const s of [0.5, 1, 2, 4]) byId('speed-' + s).setAttribute('aria-pressed', String(s === speed));
      });
    }
    byId('sound').addEventListener('click', async () => {
      const button = byId('sound');
      if (state.sound) {
        state.sound.ctx.close();
        state.sound = null;
      } else {
        button.disabled = true;
        try {
          state.sound = await soundOn();
          startMusic(state.sound);
          if (!state.playing) state.sound.ctx.suspend();
        } catch (e) {
          byId('seek').textContent = 'Sound is not available here: ' + e.message;
        }
        button.disabled = false;
      }
      button.textContent = state.sound ? 'Sound on' : 'Sound off';
      button.setAttribute('aria-pressed', String(!!state.sound));
    });
    byId('timeline').addEventListener('click', (e) => {
      const r = e.currentTarget.getBoundingClientRect();
      seek(total * (e.clientX - r.left) / r.width);
    });
    document.addEventListener('keydown', (e) => {
      if (e.code === 'Space') {
        e.preventDefault();
        if (api.ended()) seek(0);
        setPlaying(!state.playing);
      } else if (KEYS[e.key]) {
        e.preventDefault();
        state.keys |= KEYS[e.key];  // the camera turns with the steps, as in the game
      }
    });
    document.addEventListener('keyup', (e) => {
      if (KEYS[e.key]) state.keys &= ~KEYS[e.key];
    });
  }

  // ---------------------------------------------------------------- self test
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  async function selftest() {
    const out = {firstFrameMs: state.firstFrameMs, marks};
    const from = api.step(), t = performance.now();
    await sleep(3000);
    // A loaded machine (or a browser's virtual time) may give the first
    // animation frames late: wait for them rather than judge too early.
    for (let i = 0; i < 100 && api.step() === from; ++i) await sleep(100);
    out.playedTo = api.step();
    out.stepsPerSecond = (out.playedTo - from) * 1000 / Math.max(1, performance.now() - t);
    out.seekTo = Math.floor(total / 2);
    out.seekMs = seek(out.seekTo);
    out.afterSeek = api.step();
    setPlaying(false);
    const paused = api.step();
    await sleep(500);
    out.pausedHeld = api.step() === paused;
    const frames = state.frames.slice().sort((a, b) => a - b);
    out.frameMsMedian = frames.length ? frames[frames.length >> 1] : 0;
    out.frameMsWorst = frames.length ? frames[frames.length - 1] : 0;
    out.framesTimed = frames.length;
    const intervals = state.intervals.slice().sort((a, b) => a - b);
    out.intervalMsMedian = intervals.length ? intervals[intervals.length >> 1] : 0;
    out.intervalMsWorst = intervals.length ? intervals[intervals.length - 1] : 0;
    const t2 = performance.now();
    seek(total);
    out.toEndMs = performance.now() - t2;
    out.ended = api.ended();
    out.finalScore = api.score();
    out.verdict = viewer.check.verdict;
    out.gap = viewer.check.gap ? viewer.check.gap.frame : null;
    out.status = byId('status').textContent;
    out.log = log;
    byId('selftest').textContent = JSON.stringify(out);
    document.body.dataset.selftest = 'done';
    return JSON.stringify(out);
  }
  window.quadrelViewerSelftest = selftest;

  start().then((v) => {
    viewer = v;
    const check = v.check;
    v.module._quadrel_viewer_limit(check.steps);
    total = v.module._quadrel_viewer_length();
    drawTimeline();
    const verdict = byId('verdict');
    verdict.textContent = check.verdict;
    verdict.className = check.outcome === 'ok' ? 'ok' : 'bad';
    const status = byId('status');
    if (check.gap) {
      status.textContent = 'This replay does not verify: from step ' + check.gap.frame +
          ' on (marked red below) the game plays differently from what was recorded.';
    } else if (check.outcome !== 'ok') {
      status.textContent = 'This replay does not verify; it plays as the game would play it.';
    } else {
      status.textContent = 'Replay ' + v.id + ': verified, final score ' +
                           check.score.toLocaleString('en') + '.';
    }
    for (const id of ['view', 'controls', 'timeline']) byId(id).hidden = false;
    wire();
    const only = params.get('step');
    if (only !== null) {
      document.body.classList.add('bare');
      api.seek(Math.max(0, Number(only) | 0));
      redraw();
      state.playing = false;
      document.body.dataset.state = 'still';
      return;
    }
    mark('opened');
    redraw();
    state.firstFrameMs = performance.now();  // since the page was asked for
    document.body.dataset.firstFrameMs = state.firstFrameMs.toFixed(0);
    setPlaying(true);
    if (params.get('selftest')) selftest();
  }).catch((e) => fail(e.message || String(e)));
})();
