// Serves a folder on localhost: the built site for `./dev web`, and for the browser tests.
//   node web/serve.mjs [FOLDER] [PORT]   (defaults: out/web, 8021; port 0 picks a free one)
// Any static web host serves the same folder as well.

import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize, resolve, sep } from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.flac': 'audio/flac', '.wav': 'audio/wav', '.png': 'image/png',
};

export function serve(folder, port = 0) {
  const root = resolve(folder);
  const server = createServer((request, response) => {
    try {
      const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
      let file = normalize(join(root, path));
      if (file !== root && !file.startsWith(root + sep)) file = '';  // outside the folder
      if (file && statSync(file).isDirectory()) file = join(file, 'index.html');
      const size = statSync(file).size;
      response.writeHead(200, {
        'Content-Type': types[extname(file)] ?? 'application/octet-stream',
        'Content-Length': size,
        // Cross-origin isolation: the page needs nothing from elsewhere anyway, and it gives
        // the page a clock fine enough to time a render quantum (web/measure.mjs).
        'Cross-Origin-Opener-Policy': 'same-origin',
        'Cross-Origin-Embedder-Policy': 'require-corp',
      });
      createReadStream(file).on('error', () => response.destroy()).pipe(response);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
    }
  });
  return new Promise((done) => server.listen(port, '127.0.0.1', () => done(server)));
}

if (process.argv[1] === new URL(import.meta.url).pathname) {
  const folder = process.argv[2] ?? 'out/web';
  const server = await serve(folder, Number(process.argv[3] ?? 8021));
  console.log(`Serving ${folder} at http://127.0.0.1:${server.address().port}/ (Ctrl-C stops)`);
}
