// The page: a player whose sound goes through the crossfeed worklet, the Strength control with
// the filter's response, and the download of a processed file.

import { Crossfeed, crossfeedNode, loadCrossfeedModule, paths } from './crossfeed.js';
import { decodeWav, encodeWav, sampleRateOf } from './audio-files.js';

const $ = (id) => document.getElementById(id);
const ui = {
  play: $('play'), position: $('position'), time: $('time'), file: $('file'), drop: $('drop'),
  fileName: $('file-name'), fileInfo: $('file-info'), crossfeed: $('crossfeed'),
  strength: $('strength'), strengthValue: $('strength-value'), attenuation: $('attenuation'),
  plot: $('plot'), caption: $('plot-caption'), format: $('format'), dither: $('dither'),
  download: $('download'), status: $('status'),
};

const state = {
  module: null,      // crossfeed.wasm, compiled
  audio: null,       // the decoded file: an AudioBuffer at the file's own rate
  name: 'demo',
  context: null,     // an AudioContext at the file's rate, with the worklet
  node: null,
  source: null,      // playing: the AudioBufferSourceNode
  offset: 0,         // seconds into the file where playback starts or stopped
  startedAt: 0,      // context time at which offset was playing
};

const strength = () => Number(ui.strength.value);
const crossfeedOn = () => ui.crossfeed.getAttribute('aria-pressed') === 'true';
const say = (text) => { ui.status.textContent = text; };

// ---- Files ------------------------------------------------------------------------------------

// WAV exactly as varic reads it; other formats by the browser, at the file's own rate: a
// context of any other rate would resample them.
async function decode(bytes) {
  const wav = decodeWav(bytes);
  if (wav) {
    const { rate, data } = wav;
    const audio = new AudioBuffer({ length: Math.max(1, data[0].length),
      numberOfChannels: data.length, sampleRate: rate });
    data.forEach((samples, channel) => audio.copyToChannel(samples, channel));
    return { audio, resampled: false };
  }
  const storedRate = sampleRateOf(bytes);
  const rate = storedRate || 48000;
  const audio = await new OfflineAudioContext(2, 1, rate).decodeAudioData(bytes);
  return { audio, resampled: storedRate === 0 };
}

async function open(bytes, name) {
  say(`Opening ${name}…`);
  try {
    const { audio, resampled } = await decode(bytes);
    stop();
    state.audio = audio;
    state.name = name;
    state.offset = 0;
    ui.fileName.textContent = name;
    const channels = audio.numberOfChannels === 1 ? 'mono' : `${audio.numberOfChannels} channels`;
    const resampledNote = resampled ? ', rate not found in the file: resampled' : '';
    ui.fileInfo.textContent =
      `(${formatTime(audio.duration)}, ${audio.sampleRate} Hz, ${channels}${resampledNote})`;
    ui.position.max = audio.duration.toFixed(1);
    ui.play.disabled = ui.position.disabled = ui.download.disabled = false;
    showPosition();
    drawResponse();
    say(`${name} is ready to play.`);
  } catch (error) {
    say(`Could not open ${name}: ${error.message || error}`);
  }
}

ui.file.addEventListener('change', async () => {
  const file = ui.file.files[0];
  if (file) await open(await file.arrayBuffer(), file.name);
});
ui.drop.addEventListener('dragover', (event) => {
  event.preventDefault();
  ui.drop.classList.add('over');
});
ui.drop.addEventListener('dragleave', () => ui.drop.classList.remove('over'));
ui.drop.addEventListener('drop', async (event) => {
  event.preventDefault();
  ui.drop.classList.remove('over');
  const file = event.dataTransfer.files[0];
  if (file) await open(await file.arrayBuffer(), file.name);
});

// ---- Playback ---------------------------------------------------------------------------------

// The audio context runs at the file's rate, so the worklet filters exactly what a render does.
async function audioGraph() {
  const rate = state.audio.sampleRate;
  if (state.context && state.context.sampleRate === rate) return;
  if (state.context) await state.context.close();
  const context = new AudioContext({ sampleRate: rate });
  state.node = await crossfeedNode(context, state.module, strength());
  state.node.parameters.get('crossfeed').value = crossfeedOn() ? 1 : 0;
  state.node.connect(context.destination);
  state.context = context;
}

async function play() {
  await audioGraph();
  await state.context.resume();
  if (state.offset >= state.audio.duration) state.offset = 0;
  const source = new AudioBufferSourceNode(state.context, { buffer: state.audio });
  source.connect(state.node);
  source.onended = () => {
    if (state.source !== source) return;  // stopped by a pause or a seek
    state.source = null;
    state.offset = state.audio.duration;
    showPlaying();
  };
  source.start(0, state.offset);
  state.source = source;
  state.startedAt = state.context.currentTime;
  showPlaying();
  requestAnimationFrame(followPlayback);
}

function stop() {
  if (!state.source) return;
  state.offset = currentPosition();
  const source = state.source;
  state.source = null;
  source.stop();
  source.disconnect();
  showPlaying();
}

function currentPosition() {
  if (!state.source) return state.offset;
  return Math.min(state.audio.duration, state.offset + state.context.currentTime - state.startedAt);
}

function followPlayback() {
  showPosition();
  if (state.source) requestAnimationFrame(followPlayback);
}

function showPlaying() {
  ui.play.textContent = state.source ? 'Pause' : 'Play';
  showPosition();
}

function showPosition() {
  const position = currentPosition();
  if (document.activeElement !== ui.position) ui.position.value = position.toFixed(1);
  ui.position.setAttribute('aria-valuetext', formatTime(position));
  ui.time.textContent = `${formatTime(position)} / ${formatTime(state.audio?.duration ?? 0)}`;
}

function formatTime(seconds) {
  const whole = Math.floor(seconds);
  return `${Math.floor(whole / 60)}:${String(whole % 60).padStart(2, '0')}`;
}

ui.play.addEventListener('click', () => (state.source ? stop() : play()));
ui.position.addEventListener('input', () => {
  const playing = Boolean(state.source);
  stop();
  state.offset = Number(ui.position.value);
  if (playing) play();
  else showPosition();
});

// ---- Crossfeed --------------------------------------------------------------------------------

function setParameter(name, value) {
  if (state.node) state.node.parameters.get(name).setValueAtTime(value, state.context.currentTime);
}

function toggleCrossfeed() {
  const on = !crossfeedOn();
  ui.crossfeed.setAttribute('aria-pressed', String(on));
  ui.crossfeed.textContent = on ? 'Crossfeed on' : 'Crossfeed off';
  setParameter('crossfeed', on ? 1 : 0);
  say(on ? 'Crossfeed on.' : 'Crossfeed off: the plain signal.');
}

ui.crossfeed.addEventListener('click', toggleCrossfeed);
document.addEventListener('keydown', (event) => {
  const modified = event.ctrlKey || event.metaKey || event.altKey;
  const inList = event.target instanceof HTMLSelectElement;  // C picks an option there
  if (event.key.toLowerCase() === 'c' && !event.repeat && !modified && !inList) toggleCrossfeed();
});
ui.strength.addEventListener('input', () => {
  ui.strengthValue.textContent = ui.strength.value;
  setParameter('strength', strength());
  drawResponse();
});

// ---- Response ---------------------------------------------------------------------------------

const curves = [
  { path: paths.sum, name: 'sum (L+R)', className: 'sum' },
  { path: paths.difference, name: 'difference (L−R)', className: 'difference' },
  { path: paths.sameSide, name: 'same side', className: 'same' },
  { path: paths.oppositeSide, name: 'opposite side', className: 'opposite' },
];
const dbRange = [-30, 10];
const decibels = (gain) => 20 * Math.log10(gain);
const formatDb = (db) => `${db < 0 ? '−' : db > 0 ? '+' : ''}${Math.abs(db).toFixed(1)} dB`;

function drawResponse() {
  const rate = state.audio?.sampleRate ?? 44100;
  const filter = new Crossfeed(state.module, rate, strength());
  const width = Math.max(300, Math.round(ui.plot.clientWidth || 640));
  const height = Math.round(Math.min(300, width * 0.6));
  const margin = { left: 40, right: 10, top: 20, bottom: 30 };
  const low = 20;
  const high = rate / 2;
  const x = (f) => margin.left + (width - margin.left - margin.right) *
    Math.log(f / low) / Math.log(high / low);
  // Curves leave the plot through its edges (the opposite side falls without bound towards
  // half the rate); the clip keeps them inside.
  const y = (db) => margin.top + (height - margin.top - margin.bottom) *
    (dbRange[1] - Math.max(-200, db)) / (dbRange[1] - dbRange[0]);
  const parts = [`<clipPath id="plot-area"><rect x="${x(low)}" y="${y(dbRange[1])}" ` +
    `width="${x(high) - x(low)}" height="${y(dbRange[0]) - y(dbRange[1])}"/></clipPath>`];
  for (let db = dbRange[0]; db <= dbRange[1]; db += 10) {
    parts.push(`<line class="grid" x1="${x(low)}" x2="${x(high)}" y1="${y(db)}" y2="${y(db)}"/>`,
      `<text x="${margin.left - 4}" y="${y(db) + 4}" text-anchor="end">${db}</text>`);
  }
  const gridFrequencies = [20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000];
  for (const f of gridFrequencies.filter((f) => f <= high)) {
    const label = [100, 1000, 10000].includes(f) ? `${f >= 1000 ? f / 1000 + 'k' : f}` : '';
    parts.push(
      `<line class="grid" x1="${x(f)}" x2="${x(f)}" y1="${y(dbRange[1])}" y2="${y(dbRange[0])}"/>`,
      `<text x="${x(f)}" y="${height - margin.bottom + 14}" text-anchor="middle">${label}</text>`);
  }
  parts.push(`<text x="${width - margin.right}" y="${height - 4}" text-anchor="end">Hz</text>`,
    `<text x="${margin.left - 4}" y="10" text-anchor="end">dB</text>`);
  for (const curve of curves) {
    const points = [];
    for (let i = 0; i <= 200; ++i) {
      const f = low * (high / low) ** (i / 200);
      points.push(`${x(f).toFixed(1)},${y(decibels(filter.gain(curve.path, f))).toFixed(1)}`);
    }
    parts.push(`<polyline class="${curve.className}" clip-path="url(#plot-area)" ` +
      `points="${points.join(' ')}"/>`);
  }
  let peak = { db: -Infinity, frequency: 0 };  // the difference's, to a tenth of a per cent
  for (let f = low; f <= high; f *= 1.001) {
    const db = decibels(filter.gain(paths.difference, f));
    if (db > peak.db) peak = { db, frequency: f };
  }
  ui.plot.setAttribute('viewBox', `0 0 ${width} ${height}`);
  ui.plot.innerHTML = parts.join('');

  const atZero = decibels(filter.differenceGainAtZeroHz());
  ui.attenuation.textContent = atZero === 0
    ? 'The difference between the channels passes unchanged: no crossfeed.'
    : `The difference between the channels at 0 Hz: ${formatDb(atZero)}.`;
  const legend = curves.map((c) => `<span class="key ${c.className}">${c.name}</span>`).join(' ');
  const rise = peak.db > 0.05
    ? `, and peaks at ${formatDb(peak.db)} near ${(peak.frequency / 1000).toFixed(1)} kHz`
    : '';
  ui.caption.innerHTML = `${legend}<br>Gain against frequency at ${rate} Hz and Strength ` +
    `${strength()}: the sum passes at 0 dB; the difference starts at ${formatDb(atZero)}` +
    `${rise}.`;
}

window.addEventListener('resize', () => state.module && drawResponse());

// ---- Download ---------------------------------------------------------------------------------

ui.format.addEventListener('change', () => {
  ui.dither.disabled = ui.format.value !== 'pcm16';
});

ui.download.addEventListener('click', () => {
  const audio = state.audio;
  const left = audio.getChannelData(0);
  const right = audio.numberOfChannels > 1 ? audio.getChannelData(1) : left;
  const started = performance.now();
  const filter = new Crossfeed(state.module, audio.sampleRate, strength());
  const [outLeft, outRight] = filter.render(left, right);
  const seconds = (performance.now() - started) / 1000;
  const wav = encodeWav(outLeft, outRight, audio.sampleRate,
    { format: ui.format.value, dither: ui.dither.checked });
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([wav], { type: 'audio/wav' }));
  const base = state.name.replace(/\.[^.]*$/, '').replace(/\s+/g, '-');
  link.download = `${base}-crossfeed-${strength()}.wav`;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  say(`Saved ${link.download}: ${audio.duration.toFixed(1)} s processed in ` +
    `${seconds.toFixed(3)} s (${Math.round(audio.duration / seconds)} times real time).`);
});

// ---- Start ------------------------------------------------------------------------------------

async function start() {
  try {
    state.module = await loadCrossfeedModule();
    drawResponse();
    const response = await fetch('demo.wav');
    if (!response.ok) throw new Error(`demo.wav: ${response.status}`);
    await open(await response.arrayBuffer(), 'Demo music');
    document.body.dataset.ready = 'true';
  } catch (error) {
    say(`Could not start: ${error.message || error}`);
  }
}

start();
