// The web player's own weight: its script and style as a browser fetches them gzipped,
// against the 12 KB it may take. Run: node bench/web/size.js
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');

const BUDGET = 12 * 1024;
const web = path.join(__dirname, '../../web');
let total = 0;
// The script as an export carries it: its parts joined in their order, as the build joins them.
const parts = fs.readFileSync(path.join(web, 'player/parts.txt'), 'utf8').split('\n').filter(Boolean);
const script = parts.map((part) => fs.readFileSync(path.join(web, 'player', part), 'utf8'))
  .join('\n');
const files = { 'player.js': Buffer.from(`(function () {\n'use strict';\n${script}})();\n`),
  'player.css': fs.readFileSync(path.join(web, 'player.css')) };
for (const [name, text] of Object.entries(files)) {
  const packed = zlib.gzipSync(text, { level: 9 }).length;
  total += packed;
  console.log(`${name.padEnd(11)} ${String(text.length).padStart(6)} bytes, gzipped ${packed}`);
}
console.log(`gzipped in all: ${total} bytes = ${(total / BUDGET).toFixed(2)} x the budget of ` +
  `${BUDGET} bytes`);
process.exitCode = total <= BUDGET ? 0 : 1;
