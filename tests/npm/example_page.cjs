// Usage: node tests/npm/example_page.cjs PACKAGE_DIR
// examples/web/ with the npm package installed from its tarball, in
// Debian's Chromium (headless, tests/web's puppeteer-core): it draws the
// bodies, and Save, some frames and Restore give back the same stateHash and
// the same picture.
'use strict';
const assert = require('assert/strict');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { serve, launch } = require('../web/browser.js');

async function main() {
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'prallwerk-example-'));
  try {
    const example = path.join(__dirname, '../../examples/web');
    // The page's own files, not a package a user installed beside them.
    for (const file of ['index.html', 'main.js', 'renderer.js']) fs.copyFileSync(path.join(example, file), path.join(tmp, file));
    const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', tmp], { cwd: process.argv[2], encoding: 'utf8' }).trim();
    execFileSync('npm', ['install', '--silent', '--no-audit', '--no-fund', '--offline', '--no-save', path.join(tmp, tarball)], { cwd: tmp });
    const server = await serve(tmp);
    const browser = await launch();
    try {
      const page = await browser.newPage();
      const errors = [];
      page.on('pageerror', (e) => errors.push(e.message));
      await page.goto(`${server.url}index.html?paused`);
      await page.waitForFunction(() => window.example && window.example.ready, { timeout: 30000 });
      const picture = () => page.evaluate(() => document.getElementById('view').toDataURL());
      const hash = () => page.evaluate(() => window.example.world.stateHash().toString());
      const blank = await picture();
      await page.evaluate(() => window.example.run(40));
      const thrown = await picture();
      // The bodies' colours, not only the sky and the ground: count the
      // pixels the sky's colour does not have.
      const drawn = await page.evaluate(() => {
        const canvas = document.getElementById('view');
        const copy = document.createElement('canvas');
        copy.width = canvas.width;
        copy.height = canvas.height;
        const c = copy.getContext('2d');
        c.drawImage(canvas, 0, 0);
        const pixels = c.getImageData(0, 0, copy.width, copy.height).data;
        const colours = new Set();
        for (let i = 0; i < pixels.length; i += 4) colours.add((pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2]);
        return colours.size;
      });
      assert.ok(drawn > 20, `the picture has ${drawn} colours: the bodies are not drawn`);
      assert.notEqual(thrown, blank, 'the picture did not change in 40 frames');
      await page.click('#save');
      const savedHash = await hash();
      await page.evaluate(() => window.example.run(60));
      assert.notEqual(await hash(), savedHash, 'the world did not move after the save');
      assert.notEqual(await picture(), thrown);
      await page.click('#restore');
      assert.equal(await hash(), savedHash);
      assert.equal(await picture(), thrown, 'the restored world is drawn otherwise');
      assert.deepEqual(errors, []);
      console.log(`example page: drawn (${drawn} colours), save and restore give back hash ${savedHash} and the picture`);
    } finally {
      await browser.close();
      await server.close();
    }
  } finally {
    fs.rmSync(tmp, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`FAIL: example page: ${error.stack || error}`);
  process.exit(1);
});
