// Times highlight.js (CPU time) on a file, whole and line by line; prints "whole_seconds lines_seconds".
// usage: node hljs_bench.js NODE_DIR LANGUAGE FILE REPEATS
const path = require('path');
const fs = require('fs');
const hljs = require(path.join(process.argv[2], 'node_modules', 'highlight.js'));
const language = process.argv[3];
const text = fs.readFileSync(process.argv[4], 'latin1');
const repeats = Number(process.argv[5] || 1);
const lines = text.split(/\r\n|\n|\r/);

function best(fn) {
  let bestTime = Infinity;
  for (let i = 0; i < repeats; ++i) {
    // CPU time, as the C++ side measures it (the machine is shared).
    const c0 = process.cpuUsage();
    fn();
    const c = process.cpuUsage(c0);
    const t = (c.user + c.system) / 1e6;
    if (t < bestTime) bestTime = t;
  }
  return bestTime;
}

let sink = 0;
const whole = best(() => {
  sink += hljs.highlight(text, {language, ignoreIllegals: true}).value.length;
});
const byLine = best(() => {
  for (const line of lines) sink += hljs.highlight(line, {language, ignoreIllegals: true}).value.length;
});
console.log(whole, byLine, sink > 0 ? 1 : 0);
