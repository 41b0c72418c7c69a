'use strict';
// axe-core, the accessibility checker that runs inside a page: one pinned
// version taken once from the npm registry, checked against the registry's
// sha512 of its package, and kept in a cache folder (the build folder's)
// for every later run, which checks it again before use.
const crypto = require('crypto');
const fs = require('fs');
const https = require('https');
const path = require('path');
const zlib = require('zlib');

const kVersion = '4.14.1';
const kIntegrity =
  'sha512-FHfa+lmNjQZfJz1q8wKqIDwC6DExcHt/pkjNQb09a3NPjCKg2rhu5qb2S4r76ASyFNNtuFooJpZe37OgudVGtQ==';
const kTarball = `https://registry.npmjs.org/axe-core/-/axe-core-${kVersion}.tgz`;
const kScriptInPackage = 'package/axe.min.js';
const kDownloadMilliseconds = 30000;

// Whether `bytes` are the package the registry describes.
function matchesIntegrity(bytes) {
  return 'sha512-' + crypto.createHash('sha512').update(bytes).digest('base64') === kIntegrity;
}

// The bytes at `url`, following a few redirects; rejects with why they
// could not be had.
function download(url, redirectsLeft = 3) {
  return new Promise((resolve, reject) => {
    const request = https.get(url, { timeout: kDownloadMilliseconds }, (response) => {
      const { statusCode, headers } = response;
      if (statusCode >= 300 && statusCode < 400 && headers.location && redirectsLeft > 0) {
        response.resume();
        resolve(download(new URL(headers.location, url).toString(), redirectsLeft - 1));
        return;
      }
      if (statusCode !== 200) {
        response.resume();
        reject(new Error(`${url} answered HTTP ${statusCode}`));
        return;
      }
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve(Buffer.concat(chunks)));
      response.on('error', reject);
    });
    request.on('timeout', () => request.destroy(new Error(`no answer from ${url} in time`)));
    request.on('error', reject);
  });
}

// The text of NUL-padded header field [start, start + length) of a tar header.
function headerField(header, start, length) {
  const field = header.subarray(start, start + length);
  const end = field.indexOf(0);
  return field.subarray(0, end < 0 ? length : end).toString('latin1');
}

// The contents of file `wanted` in the (uncompressed) ustar archive `tar`, or null.
function fileInTar(tar, wanted) {
  for (let at = 0; at + 512 <= tar.length; ) {
    const header = tar.subarray(at, at + 512);
    if (header.every((byte) => byte === 0)) break;
    const name = headerField(header, 0, 100);
    const prefix = headerField(header, 345, 155);
    const size = parseInt(headerField(header, 124, 12).trim() || '0', 8);
    const start = at + 512;
    if ((prefix ? prefix + '/' + name : name) === wanted) return tar.subarray(start, start + size);
    at = start + Math.ceil(size / 512) * 512;
  }
  return null;
}

// axe-core's script, from the package cached in `cacheDir` or else fetched
// into it: {source} or, where it can't be had, {unavailable: why}.
async function axeScript(cacheDir) {
  const cached = path.join(cacheDir, `axe-core-${kVersion}.tgz`);
  let tarball = fs.existsSync(cached) ? fs.readFileSync(cached) : null;
  if (!tarball || !matchesIntegrity(tarball)) {
    try {
      tarball = await download(kTarball);
    } catch (error) {
      return { unavailable: `axe-core ${kVersion} could not be fetched: ${error.message}` };
    }
    if (!matchesIntegrity(tarball)) {
      const why = `does not match the registry's sha512, so it is not used`;
      return { unavailable: `the axe-core ${kVersion} fetched from ${kTarball} ${why}` };
    }
    fs.mkdirSync(cacheDir, { recursive: true });
    // Written whole under another name first: a test run beside this one
    // never reads half a file.
    const partial = `${cached}.${process.pid}`;
    fs.writeFileSync(partial, tarball);
    fs.renameSync(partial, cached);
  }
  const script = fileInTar(zlib.gunzipSync(tarball), kScriptInPackage);
  if (!script) throw new Error(`${kScriptInPackage} is not in axe-core ${kVersion}'s package`);
  return { source: script.toString('utf8') };
}

module.exports = { axeScript };
