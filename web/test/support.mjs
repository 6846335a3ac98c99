// What the browser tests share: the built site served on localhost, Debian's Chromium driven by
// playwright-core and Debian's Firefox ESR by puppeteer-core (over WebDriver BiDi: Playwright
// drives only a Firefox of its own build), varic for the reference renders, and WAV files read
// and written plainly.

import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import puppeteer from 'puppeteer-core';
import { serve } from '../serve.mjs';

export const root = new URL('../../', import.meta.url).pathname;
export const site = join(root, 'out/web');
const varicPath = process.env.VARIC ?? join(root, 'build/release/tools/varic');

export const browsers = ['chromium', 'firefox'];

// Each with a fresh profile of the driver's making.
async function launch(name, viewport) {
  if (name === 'firefox') {
    const browser = await puppeteer.launch({
      browser: 'firefox', executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
      defaultViewport: viewport,
    });
    return { browser, page: await browser.newPage() };
  }
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    // Root needs --no-sandbox; the rest keep Chromium from calling home on a closed network.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required'],
  });
  const context = await browser.newContext({ viewport, acceptDownloads: true });
  return { browser, page: await context.newPage() };
}

// A browser showing the page, and every request it makes and every console error it reports.
export async function openPage(name = 'chromium', viewport = { width: 1000, height: 900 }) {
  const server = await serve(site);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const { browser, page } = await launch(name, viewport);
  const requests = [];
  const errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('console', (message) => message.type() === 'error' && errors.push(message.text()));
  page.on('pageerror', (error) => errors.push(String(error)));
  const started = Date.now();
  await page.goto(`${origin}/`);
  await page.waitForSelector('body[data-ready="true"]');
  const loadSeconds = (Date.now() - started) / 1000;
  const close = async () => {
    await browser.close();
    server.close();
  };
  return { page, origin, requests, errors, loadSeconds, close };
}

export function tempDir() {
  return mkdtempSync(join(tmpdir(), 'varic-web-test-'));
}

export function varic(...args) {
  return execFileSync(varicPath, ['-q', ...args], { encoding: 'utf8' });
}

// A stereo test signal: hard-panned tones and a pseudo-random noise of its own on each side,
// loud enough to reach full scale and quiet passages near the subnormal range.
export function testSignal(frames, rate) {
  const left = new Float32Array(frames);
  const right = new Float32Array(frames);
  let seed = 12345;
  const noise = () => {
    seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
    return seed / 4294967296 - 0.5;
  };
  for (let n = 0; n < frames; ++n) {
    const t = n / rate;
    const fade = n < frames / 2 ? 1 : 1e-6;  // a second half far quieter: the tail's rounding
    left[n] = fade * (0.7 * Math.sin(2 * Math.PI * 220 * t) + 0.3 * noise());
    right[n] = fade * (0.5 * Math.sin(2 * Math.PI * 3300 * t) * (n % 4000 < 2000) + 0.2 * noise());
  }
  return [left, right];
}

// A 32-bit float stereo WAV (the page's own writer is what is under test, so not that one).
export function writeFloatWav(path, [left, right], rate) {
  const data = Buffer.alloc(left.length * 8);
  for (let n = 0; n < left.length; ++n) {
    data.writeFloatLE(left[n], 8 * n);
    data.writeFloatLE(right[n], 8 * n + 4);
  }
  const fmt = Buffer.alloc(24);
  fmt.write('fmt ', 0);
  fmt.writeUInt32LE(16, 4);
  fmt.writeUInt16LE(3, 8);
  fmt.writeUInt16LE(2, 10);
  fmt.writeUInt32LE(rate, 12);
  fmt.writeUInt32LE(rate * 8, 16);
  fmt.writeUInt16LE(8, 20);
  fmt.writeUInt16LE(32, 22);
  const head = Buffer.alloc(12);
  head.write('RIFF', 0);
  head.writeUInt32LE(4 + fmt.length + 8 + data.length, 4);
  head.write('WAVE', 8);
  const dataHead = Buffer.alloc(8);
  dataHead.write('data', 0);
  dataHead.writeUInt32LE(data.length, 4);
  writeFileSync(path, Buffer.concat([head, fmt, dataHead, data]));
}

// A WAV file's chunks by id (the first of each), as Buffers.
export function wavChunks(path) {
  const bytes = readFileSync(path);
  const chunks = {};
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    chunks[id] ??= bytes.subarray(at + 8, at + 8 + size);
    at += 8 + size + (size & 1);
  }
  return chunks;
}
