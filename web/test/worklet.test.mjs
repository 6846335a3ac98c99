// The worklet's output, captured through an OfflineAudioContext, against `varic render
// --precision 32` of the VST 2.4 plug-in, bit for bit.
//
// A Strength change is scheduled on the worklet's k-rate parameter at frame N, a multiple of the
// 128-frame render quantum: the quantum that starts at N is the first one processed at the new
// strength, and the change resets the filter there. The plug-in resets the same way at the start
// of a block, so the reference is a render of frames [0, N) at the first strength followed by a
// fresh render of [N, end) at the second.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { join } from 'node:path';
import { browsers, openPage, tempDir, testSignal, varic, wavChunks, writeFloatWav }
  from './support.mjs';

const quantum = 128;
const changeAt = 172 * quantum;  // 22016 frames: about half a second
const sessions = {};
before(async () => {
  for (const name of browsers) sessions[name] = await openPage(name);
});
after(async () => {
  for (const session of Object.values(sessions)) await session.close();
});

const toBase64 = (samples) => Buffer.from(samples.buffer, samples.byteOffset, samples.byteLength)
  .toString('base64');
const bits = (base64) => new Uint32Array(new Uint8Array(Buffer.from(base64, 'base64')).buffer);

// Renders the channels through the page's worklet; switches is a list of [frame, on] for the
// A/B switch.
function renderInBrowser(browser, channels, rate, first, second, switches = []) {
  const page = sessions[browser].page;
  return page.evaluate(async ({ input, rate, first, second, changeAt, switches }) => {
    const { crossfeedNode, loadCrossfeedModule } = await import('./crossfeed.js');
    const decode = (text) => new Float32Array(Uint8Array.from(atob(text), (c) => c.charCodeAt(0))
      .buffer);
    const encode = (samples) => {
      const bytes = new Uint8Array(samples.buffer);
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      }
      return btoa(text);
    };
    const [left, right] = input.map(decode);
    const context = new OfflineAudioContext(2, left.length, rate);
    const buffer = context.createBuffer(2, left.length, rate);
    buffer.copyToChannel(left, 0);
    buffer.copyToChannel(right, 1);
    const node = await crossfeedNode(context, await loadCrossfeedModule(), first);
    node.parameters.get('strength').setValueAtTime(second, changeAt / rate);
    for (const [frame, on] of switches) {
      node.parameters.get('crossfeed').setValueAtTime(on ? 1 : 0, frame / rate);
    }
    const source = new AudioBufferSourceNode(context, { buffer });
    source.connect(node).connect(context.destination);
    source.start();
    const output = await context.startRendering();
    return [encode(output.getChannelData(0)), encode(output.getChannelData(1))];
  }, { input: channels.map(toBase64), rate, first, second, changeAt, switches });
}

// varic's output for frames [from, to) at one strength, rendered on its own, interleaved.
function renderWithVaric(dir, channels, rate, strength, from, to) {
  const input = join(dir, `in-${rate}-${strength}-${from}.wav`);
  const output = join(dir, `out-${rate}-${strength}-${from}.wav`);
  writeFloatWav(input, channels.map((c) => c.subarray(from, to)), rate);
  varic('render', input, output, '--precision', '32', '--float', '--strength', String(strength));
  const data = wavChunks(output).data;
  return new Uint32Array(new Uint8Array(data).buffer);
}

function firstDifference(actual, expected, from = 0, to = expected.length) {
  for (let n = from; n < to; ++n) if (actual[n] !== expected[n]) return n;
  return -1;
}

const cases = [
  { rate: 44100, first: 0, second: 75 },
  { rate: 44100, first: 10, second: 100 },
  { rate: 44100, first: 75, second: 0 },
  { rate: 44100, first: 100, second: 10 },
  { rate: 48000, first: 0, second: 75 },
  { rate: 48000, first: 10, second: 100 },
  { rate: 48000, first: 75, second: 0 },
  { rate: 48000, first: 100, second: 10 },
];

test('the worklet is bit-identical to varic render --precision 32, Strength changed mid-stream',
  async () => {
    const dir = tempDir();
    for (const { rate, first, second } of cases) {
      const channels = testSignal(rate, rate);
      const expected = new Uint32Array(2 * rate);
      expected.set(renderWithVaric(dir, channels, rate, first, 0, changeAt));
      expected.set(renderWithVaric(dir, channels, rate, second, changeAt, rate), 2 * changeAt);
      for (const browser of browsers) {
        const [left, right] = (await renderInBrowser(browser, channels, rate, first, second))
          .map(bits);
        const actual = new Uint32Array(2 * rate);
        for (let n = 0; n < rate; ++n) [actual[2 * n], actual[2 * n + 1]] = [left[n], right[n]];
        assert.equal(firstDifference(actual, expected), -1,
          `${browser}, ${rate} Hz, Strength ${first} then ${second} at frame ${changeAt}`);
      }
    }
  });

// Switched off and on again: the plain input while off, and after the crossfade back the
// processed signal exactly where an uninterrupted filter would be.
test('the A/B switch keeps the filter running while off', async () => {
  const rate = 48000;
  const [off, on] = [100 * quantum, 200 * quantum];
  const fadeEnd = on + Math.ceil(0.02 * rate / quantum + 1) * quantum;
  const channels = testSignal(rate, rate);
  const expected = renderWithVaric(tempDir(), channels, rate, 75, 0, rate);
  const switches = [[off, false], [on, true]];
  const [left, right] = (await renderInBrowser('chromium', channels, rate, 75, 75, switches))
    .map(bits);
  const input = channels.map((c) => new Uint32Array(c.buffer));
  const plainFrom = off + Math.ceil(0.02 * rate / quantum + 1) * quantum;
  for (let n = 0; n < rate; ++n) {
    const processed = n < off || n >= fadeEnd;
    const plain = n >= plainFrom && n < on;
    if (!processed && !plain) continue;  // crossfading
    const want = processed ? [expected[2 * n], expected[2 * n + 1]] : [input[0][n], input[1][n]];
    assert.deepEqual([left[n], right[n]], want, `frame ${n}, ${processed ? 'on' : 'off'}`);
  }
});
