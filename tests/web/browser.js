// The page served from a folder on 127.0.0.1, and Debian's Chromium (or Firefox) to look
// at it: what the page's tests and benchmarks share.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const puppeteer = require('puppeteer-core');

// The one header the page needs from a server: WebAssembly's MIME type.
const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm'};

// Serves the files of root; resolves to {url, close}.
function serve(folder) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(root, name === '/' ? 'index.html' : path.normalize(name));
    if (!file.startsWith(root)) {
      response.writeHead(403);
      response.end();
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      close: () => new Promise((done) => server.close(done)),
    }));
  });
}

// Chromium headless, drawing WebGL with SwiftShader; with angle 'gl' it
// draws through the X server's OpenGL (Mesa's llvmpipe under Xvfb), which
// only a browser with a window does. The machine has no network: nothing in
// the background may try to reach one.
function launch({angle = 'swiftshader', screen = null, width = 1100, height = 900} = {}) {
  const args = [
    '--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--no-first-run', '--disable-quic', '--disable-default-apps', '--mute-audio',
    `--use-angle=${angle}`, `--window-size=${width},${height}`,
  ];
  if (angle === 'swiftshader') args.push('--enable-unsafe-swiftshader');
  else args.push('--ignore-gpu-blocklist');
  if (screen) args.push(`--screen-info={${screen}}`);
  return puppeteer.launch({
    executablePath: process.env.PRALLWERK_CHROMIUM || '/usr/bin/chromium',
    headless: angle === 'swiftshader' ? true : false,
    defaultViewport: null,
    args,
  });
}

// Debian's firefox-esr, driven through WebDriver BiDi. Headless it may have
// no WebGL 2; with headless false it needs an X server (xvfb-run).
function launchFirefox({headless = true, width = 1100, height = 900} = {}) {
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.PRALLWERK_FIREFOX || '/usr/bin/firefox-esr',
    headless,
    defaultViewport: null,
    args: [`--width=${width}`, `--height=${height}`],
    // No updates, telemetry or other traffic: the machine has no network.
    extraPrefsFirefox: {'app.update.enabled': false, 'network.captive-portal-service.enabled': false,
                        'datareporting.policy.dataSubmissionEnabled': false, 'toolkit.telemetry.enabled': false,
                        'browser.safebrowsing.update.enabled': false, 'extensions.update.enabled': false},
  });
}

module.exports = {serve, launch, launchFirefox};
