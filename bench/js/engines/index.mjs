// Every engine the benchmark runs, by the name its result line gives, in the order of a
// round: where each adapter lives and what it is told beyond the scene.
export const engines = [
    { name: 'prallwerk-classic', module: './prallwerk.mjs', options: { rules: 'classic' }, needs: 'prallwerk' },
    { name: 'prallwerk-physical', module: './prallwerk.mjs', options: { rules: 'physical' }, needs: 'prallwerk' },
    { name: 'rapier', module: './rapier.mjs', options: {}, needs: '@dimforge/rapier3d-compat' },
    { name: 'cannon-es', module: './cannon.mjs', options: {}, needs: 'cannon-es' },
    { name: 'jolt', module: './jolt.mjs', options: {}, needs: 'jolt-physics' },
];

export const engineNamed = (name) => engines.find((e) => e.name === name);
