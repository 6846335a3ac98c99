// Speed and size figures of the built page in headless Chromium, for docs/web.md (not a test:
// timings on a shared machine are too noisy for pass or fail).
//   node web/measure.mjs    after ./dev web-test (the built page and the test drivers)
//
// The audio worklet's scope has no clock finer than Date's milliseconds, so the processing
// time per render quantum is measured on the page's main thread running what the worklet runs
// per quantum: the copy into the module, the filter, the copy out. The clock of a page, even a
// cross-origin isolated one as served here, ticks in microseconds, so quanta are timed in
// groups of 125 (a third of a second at 48 kHz) and the median is taken over the groups.

import { readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { openPage, site } from './test/support.mjs';

const loads = [];
for (let i = 0; i < 5; ++i) {
  const session = await openPage();
  loads.push(session.loadSeconds);
  await session.close();
}
const { page, close } = await openPage();
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

const figures = await page.evaluate(async () => {
  const { Crossfeed, crossfeedNode, loadCrossfeedModule } = await import('./crossfeed.js');
  const module = await loadCrossfeedModule();
  const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
  const rate = 48000;
  const seconds = 10;
  const noise = (n) => Float32Array.from({ length: n }, () => Math.random() - 0.5);
  const [left, right] = [noise(rate * seconds), noise(rate * seconds)];

  // Per render quantum, as the worklet does it.
  const filter = new Crossfeed(module, rate, 75);
  const [outL, outR] = [new Float32Array(128), new Float32Array(128)];
  const groups = [];
  for (let run = 0; run < 3; ++run) {
    for (let start = 0; start + 125 * 128 <= left.length; start += 125 * 128) {
      const begin = performance.now();
      for (let q = start; q < start + 125 * 128; q += 128) {
        const [l, r] = filter.process(left.subarray(q, q + 128), right.subarray(q, q + 128), 128);
        outL.set(l);
        outR.set(r);
      }
      groups.push((performance.now() - begin) / 125);
    }
  }
  const perQuantumMs = median(groups);

  // The download's render: whole channels, block by block.
  const renders = [];
  for (let run = 0; run < 5; ++run) {
    const begin = performance.now();
    new Crossfeed(module, rate, 75).render(left, right);
    renders.push(performance.now() - begin);
  }

  // The worklet itself in an offline context: audio graph and all.
  const graphs = [];
  for (let run = 0; run < 3; ++run) {
    const context = new OfflineAudioContext(2, left.length, rate);
    const buffer = context.createBuffer(2, left.length, rate);
    buffer.copyToChannel(left, 0);
    buffer.copyToChannel(right, 1);
    const node = await crossfeedNode(context, module, 75);
    const source = new AudioBufferSourceNode(context, { buffer });
    source.connect(node).connect(context.destination);
    source.start();
    const begin = performance.now();
    await context.startRendering();
    graphs.push(performance.now() - begin);
  }
  return {
    crossOriginIsolated,
    perQuantumMicroseconds: perQuantumMs * 1000,
    shareOfRealTime: perQuantumMs / (128 / rate * 1000),
    downloadRenderTimesRealTime: seconds * 1000 / median(renders),
    workletOfflineTimesRealTime: seconds * 1000 / median(graphs),
  };
});
await close();

const sizes = Object.fromEntries(readdirSync(site).map((f) => [f, statSync(join(site, f)).size]));
const pageBytes = Object.entries(sizes).filter(([f]) => f !== 'demo.wav')
  .reduce((sum, [, size]) => sum + size, 0);
console.log(JSON.stringify({ ...figures, loadSecondsMedianOf5: median(loads),
  wasmBytes: sizes['crossfeed.wasm'], pageBytesWithoutDemo: pageBytes,
  demoBytes: sizes['demo.wav'] }, null, 2));
