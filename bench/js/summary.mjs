// The table of a benchmark's result lines: per body count and engine, the medians over
// the repeats of the mean step, the slowest step and the slowest after the first, and
// the sanity figures of the last run.

// { key: value } of one result line (key=value fields separated by spaces).
export function parseLine(line) {
    return Object.fromEntries(line.trim().split(/\s+/).map((field) => field.split('=')));
}

export function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    const mid = sorted.length >> 1;
    return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

// A Markdown table, rows in the order of first appearance, grouped by N.
export function summaryTable(lines) {
    const groups = new Map();
    for (const r of lines.map(parseLine)) {
        const key = `${r.N} ${r.engine}`;
        if (!groups.has(key)) groups.set(key, []);
        groups.get(key).push(r);
    }
    const keys = [...groups.keys()].sort((a, b) => Number(a.split(' ')[0]) - Number(b.split(' ')[0]));
    const rows = [
        '| N | engine | mean step µs | slowest step µs | slowest after the first µs | runs | moving | zmin..zmax |',
        '|---|---|---|---|---|---|---|---|',
    ];
    for (const key of keys) {
        const runs = groups.get(key);
        const last = runs[runs.length - 1];
        const med = (field) => median(runs.map((r) => Number(r[field])));
        rows.push(`| ${last.N} | ${last.engine} | ${med('us_per_step').toFixed(1)} | ${med('max_step_us').toFixed(0)} | ` +
            `${med('max_later_step_us').toFixed(0)} | ${runs.length} | ${last.moving} | ${last.zmin}..${last.zmax} |`);
    }
    return rows.join('\n');
}
