// The timing loop and the result line of the C++ peers (scene.h's timeSteps and
// printResult), so that a JavaScript engine's line reads like theirs.

// C's %.<precision>g: the shortest of fixed and exponent forms, trailing zeros dropped.
export function formatG(x, precision = 6) {
    if (x === 0 || !Number.isFinite(x)) return String(x);
    const [mantissa, exponentText] = x.toExponential(precision - 1).split('e');
    const exponent = Number(exponentText);
    const trim = (s) => (s.includes('.') ? s.replace(/\.?0+$/, '') : s);
    if (exponent < -4 || exponent >= precision) {
        const digits = String(Math.abs(exponent)).padStart(2, '0');
        return `${trim(mantissa)}e${exponent < 0 ? '-' : '+'}${digits}`;
    }
    return trim(x.toFixed(precision - 1 - exponent));
}

// Runs step() `steps` times: the loop's wall time and the slowest single step, in µs,
// and apart from them the first step and the slowest after it: an engine in
// WebAssembly compiles much of its code when the first step first calls it.
export function timeSteps(steps, step) {
    let slowest = 0n, slowestLater = 0n, first = 0n;
    const t0 = process.hrtime.bigint();
    let last = t0;
    for (let i = 0; i < steps; ++i) {
        step();
        const now = process.hrtime.bigint();
        const took = now - last;
        if (took > slowest) slowest = took;
        if (i === 0) first = took;
        else if (took > slowestLater) slowestLater = took;
        last = now;
    }
    const us = (ns) => Number(ns) / 1000;
    return { wallUs: us(last - t0), slowestUs: us(slowest), firstUs: us(first), slowestLaterUs: us(slowestLater) };
}

// Bodies faster than this at the end count as moving (scene.h's 0.1 m/s).
const movingSpeed = 0.1;

// One line as printResult prints it, then the first step and the slowest after it;
// finals are [{ z, speed }] per body.
export function resultLine(engine, args, timing, finals) {
    const { seconds, dt, n, sleep, steps } = args;
    const us = timing.wallUs;
    let zmin = finals[0].z, zmax = finals[0].z, moving = 0;
    for (const f of finals) {
        zmin = Math.min(zmin, f.z);
        zmax = Math.max(zmax, f.z);
        moving += f.speed > movingSpeed;
    }
    const z = finals.slice(0, 7).map((f) => f.z.toFixed(3)).join(',');
    return `engine=${engine} N=${n} S=${formatG(seconds)} dt=${formatG(dt)} sleep=${sleep ? 1 : 0} steps=${steps} ` +
        `wall_ms=${(us / 1000).toFixed(3)} us_per_step=${(us / steps).toFixed(3)} ` +
        `us_per_simsec=${(us / (steps * dt)).toFixed(1)} max_step_us=${timing.slowestUs.toFixed(1)} ` +
        `moving=${moving} zmin=${zmin.toFixed(3)} zmax=${zmax.toFixed(3)} z=${z} ` +
        `first_step_us=${timing.firstUs.toFixed(1)} max_later_step_us=${timing.slowestLaterUs.toFixed(1)}`;
}
