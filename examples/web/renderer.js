// Boxes and spheres drawn with plain WebGL, lit from one direction: each
// body's unit cube or sphere scaled to its size, turned by its quaternion and
// moved to its centre, over a ground of z = 0, seen from a fixed camera.

const vertexShader = `
attribute vec3 place;
attribute vec3 normal;
uniform mat4 projection;
uniform vec4 turn;   // w, x, y, z
uniform vec3 centre;
uniform vec3 size;
varying vec3 lit;
uniform vec3 colour;
vec3 rotate(vec4 q, vec3 v) {
  vec3 u = q.yzw;
  return v + 2.0 * cross(u, cross(u, v) + q.x * v);
}
void main() {
  vec3 n = normalize(rotate(turn, normal / size));
  float light = 0.35 + 0.65 * max(dot(n, normalize(vec3(0.4, -0.6, 0.8))), 0.0);
  lit = colour * light;
  gl_Position = projection * vec4(rotate(turn, place * size) + centre, 1.0);
}`;
const fragmentShader = `
precision mediump float;
varying vec3 lit;
void main() { gl_FragColor = vec4(lit, 1.0); }`;

// Six faces of the cube of edge 1, two triangles each, with their normals.
function cube() {
  const places = [];
  const normals = [];
  for (let axis = 0; axis < 3; ++axis) {
    for (const side of [-0.5, 0.5]) {
      const corner = (a, b) => {
        const p = [0, 0, 0];
        p[axis] = side;
        p[(axis + 1) % 3] = a;
        p[(axis + 2) % 3] = b;
        return p;
      };
      const n = [0, 0, 0];
      n[axis] = Math.sign(side);
      for (const [a, b] of [[-0.5, -0.5], [0.5, -0.5], [0.5, 0.5], [-0.5, -0.5], [0.5, 0.5], [-0.5, 0.5]]) {
        places.push(...corner(a, b));
        normals.push(...n);
      }
    }
  }
  return { places, normals };
}

// The unit sphere in bands of latitude and longitude.
function sphere(bands = 12, segments = 20) {
  const places = [];
  const point = (i, j) => {
    const theta = (Math.PI * i) / bands;
    const phi = (2 * Math.PI * j) / segments;
    return [Math.sin(theta) * Math.cos(phi), Math.sin(theta) * Math.sin(phi), Math.cos(theta)];
  };
  for (let i = 0; i < bands; ++i) {
    for (let j = 0; j < segments; ++j) {
      const [a, b, c, d] = [point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1)];
      places.push(...a, ...b, ...c, ...a, ...c, ...d);
    }
  }
  return { places, normals: places };
}

// A perspective camera at eye looking at target, z up (column-major).
function camera(eye, target, aspect) {
  const sub = (a, b) => a.map((x, i) => x - b[i]);
  const norm = (a) => a.map((x) => x / Math.hypot(...a));
  const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
  const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  const f = norm(sub(target, eye));
  const s = norm(cross(f, [0, 0, 1]));
  const u = cross(s, f);
  const view = [s[0], u[0], -f[0], 0, s[1], u[1], -f[1], 0, s[2], u[2], -f[2], 0, -dot(s, eye), -dot(u, eye), dot(f, eye), 1];
  const near = 0.1;
  const far = 100;
  const t = 1 / Math.tan(Math.PI / 8);
  const p = [t / aspect, 0, 0, 0, 0, t, 0, 0, 0, 0, (far + near) / (near - far), -1, 0, 0, (2 * far * near) / (near - far), 0];
  const m = new Array(16).fill(0);
  for (let c = 0; c < 4; ++c) for (let r = 0; r < 4; ++r) for (let k = 0; k < 4; ++k) m[4 * c + r] += p[4 * k + r] * view[4 * c + k];
  return m;
}

export function createRenderer(canvas, shapes) {
  const gl = canvas.getContext('webgl', { preserveDrawingBuffer: true, antialias: false });
  const compile = (type, text) => {
    const shader = gl.createShader(type);
    gl.shaderSource(shader, text);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(shader));
    return shader;
  };
  const program = gl.createProgram();
  gl.attachShader(program, compile(gl.VERTEX_SHADER, vertexShader));
  gl.attachShader(program, compile(gl.FRAGMENT_SHADER, fragmentShader));
  gl.linkProgram(program);
  gl.useProgram(program);
  const uniform = (name) => gl.getUniformLocation(program, name);
  const meshes = {};
  for (const [kind, mesh] of [['box', cube()], ['sphere', sphere()], ['ground', cube()]]) {
    const buffers = [mesh.places, mesh.normals].map((data) => {
      const buffer = gl.createBuffer();
      gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
      gl.bufferData(gl.ARRAY_BUFFER, new Float32Array(data), gl.STATIC_DRAW);
      return buffer;
    });
    meshes[kind] = { buffers, count: mesh.places.length / 3 };
  }
  const attributes = ['place', 'normal'].map((name) => gl.getAttribLocation(program, name));
  attributes.forEach((a) => gl.enableVertexAttribArray(a));
  gl.enable(gl.DEPTH_TEST);
  gl.uniformMatrix4fv(uniform('projection'), false, camera([-4.5, -6, 3], [0, 0, 0.8], canvas.width / canvas.height));

  const drawOne = (mesh, turn, centre, size, colour) => {
    meshes[mesh].buffers.forEach((buffer, i) => {
      gl.bindBuffer(gl.ARRAY_BUFFER, buffer);
      gl.vertexAttribPointer(attributes[i], 3, gl.FLOAT, false, 0, 0);
    });
    gl.uniform4fv(uniform('turn'), turn);
    gl.uniform3fv(uniform('centre'), centre);
    gl.uniform3fv(uniform('size'), size);
    gl.uniform3fv(uniform('colour'), colour);
    gl.drawArrays(gl.TRIANGLES, 0, meshes[mesh].count);
  };

  return (positions, orientations) => {
    gl.clearColor(0.85, 0.9, 0.95, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    drawOne('ground', [1, 0, 0, 0], [0, 0, -0.05], [30, 30, 0.1], [0.55, 0.65, 0.5]);
    shapes.forEach((shape, i) => {
      drawOne(shape.kind, orientations.subarray(4 * i, 4 * i + 4), positions.subarray(3 * i, 3 * i + 3), shape.size, shape.colour);
    });
  };
}
