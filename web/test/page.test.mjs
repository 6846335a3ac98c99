// The page as a listener uses it, in headless Chromium: by keyboard, with a file of their own,
// downloading the result; its screenshots for the README; and what it costs to load.

import assert from 'node:assert/strict';
import { mkdirSync, readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { openPage, root, site, tempDir, testSignal, varic, wavChunks, writeFloatWav }
  from './support.mjs';

test('the site stays small: the module under 20 KB, the page without the demo under 200 KB', () => {
  const sizes = Object.fromEntries(readdirSync(site).map((f) => [f, statSync(join(site, f)).size]));
  assert.ok(sizes['crossfeed.wasm'] < 20 * 1024, `crossfeed.wasm: ${sizes['crossfeed.wasm']} B`);
  const page = Object.entries(sizes).filter(([f]) => f !== 'demo.wav')
    .reduce((sum, [, size]) => sum + size, 0);
  assert.ok(page < 200 * 1024, `the page: ${page} B`);
});

// Presses Tab until the element with this id has the focus.
async function tabTo(page, id) {
  for (let i = 0; i < 20; ++i) {
    await page.keyboard.press('Tab');
    if (await page.evaluate(() => document.activeElement?.id) === id) return;
  }
  assert.fail(`Tab never reaches #${id}`);
}

async function download(page, dir) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  const path = join(dir, file.suggestedFilename());
  await file.saveAs(path);
  return path;
}

async function openFile(page, path) {
  await page.setInputFiles('#file', path);
  await page.waitForFunction(() =>
    document.querySelector('#status').textContent.endsWith('ready to play.'));
}

// The screenshots go to out/web-test/; VARIC_SCREENSHOTS=docs refreshes the README's own.
const shots = join(root, process.env.VARIC_SCREENSHOTS || 'out/web-test');
mkdirSync(shots, { recursive: true });

test('a listener\'s session: keyboard, plot, own file, downloads, nothing from elsewhere',
  async (t) => {
    const { page, origin, requests, errors, loadSeconds, close } = await openPage();
    t.diagnostic(`page ready (demo decoded) in ${loadSeconds.toFixed(2)} s`);
    try {
      await page.screenshot({ path: join(shots, 'web-desktop.png'), fullPage: true });
      await page.setViewportSize({ width: 360, height: 740 });
      await page.screenshot({ path: join(shots, 'web-phone.png'), fullPage: true });
      assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= 360),
        'nothing wider than a 360-pixel screen');
      await page.setViewportSize({ width: 1000, height: 900 });

      // The switch and the slider by keyboard; the plot and the attenuation follow Strength.
      await tabTo(page, 'crossfeed');
      await page.keyboard.press('Space');
      assert.equal(await page.getAttribute('#crossfeed', 'aria-pressed'), 'false');
      await page.keyboard.press('c');
      assert.equal(await page.getAttribute('#crossfeed', 'aria-pressed'), 'true');
      const curve = () => page.getAttribute('#plot polyline.difference', 'points');
      const before = await curve();
      await tabTo(page, 'strength');
      await page.keyboard.press('End');
      assert.equal(await page.textContent('#strength-value'), '100');
      assert.match(await page.textContent('#attenuation'), /−20\.3 dB/);
      assert.notEqual(await curve(), before);
      await page.keyboard.press('Home');
      for (let i = 0; i < 75; ++i) await page.keyboard.press('ArrowRight');
      assert.equal(await page.textContent('#strength-value'), '75');

      // Playing runs the worklet: the position moves.
      await tabTo(page, 'play');
      await page.keyboard.press('Enter');
      await page.waitForFunction(() =>
        document.querySelector('#time').textContent.startsWith('0:01'));
      await page.keyboard.press('Enter');

      // A file of one's own at 48 kHz: the player and the plot take its rate and length; the
      // float download is varic's render of it, sample for sample.
      const dir = tempDir();
      const own = join(dir, 'own.wav');
      writeFloatWav(own, testSignal(96000, 48000), 48000);
      await openFile(page, own);
      assert.equal(await page.textContent('#file-name'), 'own.wav');
      assert.match(await page.textContent('#file-info'), /0:02, 48000 Hz, 2 channels/);
      assert.equal(await page.textContent('#time'), '0:00 / 0:02');
      assert.match(await page.textContent('#plot-caption'), /48000 Hz and Strength 75/);
      const downloaded = wavChunks(await download(page, dir));
      const expected = join(dir, 'expected.wav');
      varic('render', own, expected, '--precision', '32', '--float', '--strength', '75');
      const reference = wavChunks(expected);
      for (const chunk of ['fmt ', 'fact', 'data']) {
        assert.ok(downloaded[chunk].equals(reference[chunk]), `the "${chunk}" chunk`);
      }

      // 16 bits with dither: the very integers varic writes, noise included.
      await page.selectOption('#format', 'pcm16');
      assert.equal(await page.isChecked('#dither'), true);
      const dithered = wavChunks(await download(page, dir));
      const expected16 = join(dir, 'expected16.wav');
      varic('render', own, expected16, '--precision', '32', '--pcm16', '--strength', '75');
      assert.ok(dithered.data.equals(wavChunks(expected16).data), 'the dithered 16-bit samples');

      // A file the filter leaves alone (Strength 0) comes back as it was, its silence included.
      const pcm16 = join(dir, 'pcm16.wav');
      varic('render', own, pcm16, '--pcm16', '--strength', '0');
      await openFile(page, pcm16);
      await page.focus('#strength');
      await page.keyboard.press('Home');
      await page.selectOption('#format', 'pcm16');
      assert.equal(await page.isChecked('#dither'), true);
      const unchanged = wavChunks(await download(page, dir));
      assert.ok(unchanged.data.equals(wavChunks(pcm16).data), 'the 16-bit samples');
      t.diagnostic(await page.textContent('#status'));

      assert.deepEqual(errors, [], 'console errors');
      assert.deepEqual(requests.filter((url) => !url.startsWith(`${origin}/`) &&
        !url.startsWith('blob:') && !url.startsWith('data:')), [], 'requests elsewhere');
    } finally {
      await close();
    }
  });
