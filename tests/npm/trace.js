// The trace tool's lines (tools/trace.cpp) written from the JavaScript
// API alone: the bodies' states read from the world's views, the impacts from
// its listener, the frames split as the program splits them
// (world/frame_step.h). Only the numbers' digits are the engine's
// (formatNumber, the tool's own %.17g).

const stateHeader = 'frame,body,kind,px,py,pz,vx,vy,vz,wx,wy,wz,ax,ay,az';
const eventHeader = 'frame,substep,time,kind,a,b,t';

// frameSteps(ms, 1): the frame's span rounded once to single precision, in
// 1 - trunc(-10 dt) steps of dt / count.
export function frameSteps(ms) {
  const dt = Math.fround(ms * Math.fround(0.001));
  const count = 1 - Math.trunc(dt * -10);
  return { dt, count, sub: Math.fround(dt / count) };
}

// The trace of `frames` frames of frameMs each, as prallwerk-trace prints
// it; states through advance (the frame as one call), impacts through step
// (the sub-steps one by one, which their lines count).
export function trace(engine, world, kinds, { frames, frameMs, events = false }) {
  const f = (x) => engine.formatNumber(x);
  const lines = [events ? eventHeader : stateHeader];
  const states = (frame) => {
    const fields = [world.positions, world.velocities, world.spins, world.angles];
    for (let i = 0; i < world.bodyCount; ++i) {
      const numbers = fields.flatMap((v) => [f(v[3 * i]), f(v[3 * i + 1]), f(v[3 * i + 2])]);
      lines.push([frame, i, kinds[i], ...numbers].join(','));
    }
  };
  const steps = frameSteps(frameMs);
  let frame = 0;
  let subStep = 0;
  if (events) {
    world.onImpact((r) => lines.push([frame, subStep, f(r.time), r.kind === 'pair' ? 'pair' : 'ground',
                                      r.a.index, r.b.index, f(r.span)].join(',')));
  } else {
    states(0);
  }
  for (frame = 1; frame <= frames; ++frame) {
    if (events) {
      for (subStep = 0; subStep < steps.count; ++subStep) world.step(steps.sub);
    } else {
      world.advance(steps.dt);
      states(frame);
    }
  }
  return lines.join('\n') + '\n';
}
