// Pictures for the page's tests: PNG files read into RGB, compared square
// by square as the Linux and Windows pictures are compared
// (tests/e2e/window_probe.cpp), and searched for colours.
'use strict';
const zlib = require('zlib');

// An 8-bit, non-interlaced RGB or RGBA PNG as {width, height, rgb}.
function decodePng(png) {
  if (png.readUInt32BE(0) !== 0x89504e47) throw new Error('not a PNG file');
  let at = 8, width = 0, height = 0, channels = 0;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      const [depth, colour, , , interlace] = body.subarray(8, 13);
      channels = {2: 3, 6: 4}[colour];
      if (depth !== 8 || !channels || interlace) throw new Error('only 8-bit RGB or RGBA PNG files without interlacing');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(height * stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = v & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; ++i) pixels.copy(rgb, i * 3, i * channels, i * channels + 3);
  return {width, height, rgb};
}

// A colour channel may differ by this much and the pixels still count as alike.
const roundingStep = 8;

function alike(a, i, b, j) {
  return Math.abs(a.rgb[i] - b.rgb[j]) <= roundingStep && Math.abs(a.rgb[i + 1] - b.rgb[j + 1]) <= roundingStep &&
         Math.abs(a.rgb[i + 2] - b.rgb[j + 2]) <= roundingStep;
}

// Whether the pixel at x, y of a has no pixel alike in b within slack
// pixels of the same place.
function unmatched(a, b, x, y, slack) {
  const i = (y * a.width + x) * 3;
  for (let v = Math.max(0, y - slack); v <= Math.min(b.height - 1, y + slack); ++v) {
    for (let u = Math.max(0, x - slack); u <= Math.min(b.width - 1, x + slack); ++u) {
      if (alike(a, i, b, (v * b.width + u) * 3)) return false;
    }
  }
  return true;
}

// Square by square: {total, worst: {x, y, count}, over: [{x, y, count}]},
// over listing the squares where more than limit pixels differ. With a
// slack, a pixel differs only when neither picture has a pixel alike within
// slack pixels of the other's: two rasterisers may put an edge that falls
// on a pixel's border on either side of it.
function compareSquares(a, b, tile, limit, slack = 0) {
  if (a.width !== b.width || a.height !== b.height) {
    throw new Error(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
  }
  const result = {total: 0, worst: {x: 0, y: 0, count: 0}, over: []};
  for (let ty = 0; ty < a.height; ty += tile) {
    for (let tx = 0; tx < a.width; tx += tile) {
      let count = 0;
      for (let y = ty; y < Math.min(ty + tile, a.height); ++y) {
        for (let x = tx; x < Math.min(tx + tile, a.width); ++x) {
          if (unmatched(a, b, x, y, slack) || (slack > 0 && unmatched(b, a, x, y, slack))) ++count;
        }
      }
      result.total += count;
      if (count > result.worst.count) result.worst = {x: tx, y: ty, count};
      if (count > limit) result.over.push({x: tx, y: ty, count});
    }
  }
  return result;
}

// How many pixels differ at all.
function differingPixels(a, b) {
  return compareSquares(a, b, Math.max(a.width, a.height), Infinity).total;
}

// The pixels of region {x, y, width, height} that match(r, g, b): their
// number and their mean position.
function findPixels(picture, region, match) {
  let count = 0, sumX = 0, sumY = 0;
  for (let y = region.y; y < region.y + region.height; ++y) {
    for (let x = region.x; x < region.x + region.width; ++x) {
      const i = (y * picture.width + x) * 3;
      if (match(picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2])) {
        ++count;
        sumX += x;
        sumY += y;
      }
    }
  }
  return {count, x: count ? sumX / count : NaN, y: count ? sumY / count : NaN};
}

module.exports = {decodePng, compareSquares, differingPixels, findPixels};
