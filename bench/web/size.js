// The web player's own weight: its script and style as a browser fetches them gzipped,
// against the 12 KB it may take. Run: node bench/web/size.js
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');

const BUDGET = 12 * 1024;
const web = path.join(__dirname, '../../web');
let total = 0;
for (const name of ['player.js', 'player.css']) {
  const text = fs.readFileSync(path.join(web, name));
  const packed = zlib.gzipSync(text, { level: 9 }).length;
  total += packed;
  console.log(`${name.padEnd(11)} ${String(text.length).padStart(6)} bytes, gzipped ${packed}`);
}
console.log(`gzipped in all: ${total} bytes = ${(total / BUDGET).toFixed(2)} x the budget of ` +
  `${BUDGET} bytes`);
process.exitCode = total <= BUDGET ? 0 : 1;
