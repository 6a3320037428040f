// Generated documents of every shape the library meets, from a fixed seed.
// Returned as JSON text, so that duplicate keys and odd literals survive.

export function rng(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const WORDS = ('crash export report empty date range filter query builder archived flag page retry header ' +
  'timeout disk usage open bug priority release branch merge deploy cache token ✓ naïve 𝒳 😀').split(' ');

function make(r) {
  const int = (n) => Math.floor(r() * n);
  const pick = (xs) => xs[int(xs.length)];
  const words = (n) => Array.from({ length: n }, () => pick(WORDS)).join(' ');
  const sentences = (n) => Array.from({ length: n }, () => `${words(4 + int(12))}.`).join(' ');
  const paragraphs = (n) => Array.from({ length: n }, () => sentences(1 + int(4))).join(pick(['\n\n', '\n \n', '\r\n\r\n']));
  const lines = (n) => Array.from({ length: n }, () => words(2 + int(8))).join(pick(['\n', '\r\n']));
  const text = () => pick([words(1 + int(5)), sentences(2 + int(6)), paragraphs(2 + int(4)), lines(3 + int(30))]);
  const record = (i) => ({
    id: 1000 + i,
    title: words(3 + int(6)),
    state: pick(['open', 'closed']),
    body: text(),
    user: { login: pick(WORDS), id: int(9999), avatar_url: `https://example.com/a/${int(1e6)}` },
    labels: Array.from({ length: int(4) }, () => ({ name: pick(WORDS), color: 'ff00aa' })),
    ...(r() < 0.3 ? { closed_at: '2026-11-12T08:00:00Z' } : {}),
    ...(r() < 0.2 ? { assignee: null } : {}),
  });
  const catalog = (d) =>
    d === 0
      ? pick([words(2), int(100), r() < 0.5, null, text()])
      : Object.fromEntries(
          Array.from({ length: 1 + int(4) }, (_, k) => [`${pick(WORDS)}_${k}`, r() < 0.3 ? [catalog(d - 1), catalog(d - 1)] : catalog(d - 1)]),
        );
  const shapes = {
    records: () => JSON.stringify(Array.from({ length: 5 + int(60) }, (_, i) => record(i))),
    wrapped: () => JSON.stringify({ total: 40, data: { users: Array.from({ length: 40 }, (_, i) => record(i)) }, next: null }),
    logs: () => JSON.stringify(Array.from({ length: 20 + int(80) }, () => text())),
    catalog: () => JSON.stringify(catalog(6)),
    wide: () => JSON.stringify(Object.fromEntries(Array.from({ length: 50 + int(300) }, (_, k) => [`k${k}`, pick([int(1e6), words(3), null])]))),
    shortStrings: () => JSON.stringify(Array.from({ length: 100 + int(400) }, () => pick(WORDS))),
    smallInts: () => JSON.stringify(Array.from({ length: 100 + int(900) }, () => int(10))),
    manyShapes: () => JSON.stringify(Array.from({ length: 90 }, (_, i) => ({ [`f${i % 70}`]: i, v: words(3) }))),
    longString: () => JSON.stringify({ text: paragraphs(20 + int(40)), note: lines(50) }),
    nested: () => {
      let v = words(30);
      for (let k = 0; k < 100 + int(300); k++) v = r() < 0.5 ? [v, k] : { k, v };
      return JSON.stringify(v);
    },
    // The original itself holds marker-like text, duplicate keys and literals
    // JSON.parse would rewrite.
    lookalikes: () =>
      `{"a":1,"a":2,"n":[1.50,1e400,18446744073709551616,-0.0],` +
      `"items":["…[3 items omitted]",${JSON.stringify(words(40))},"…[1 items omitted]","x","y","z"],` +
      `"s":${JSON.stringify(`${words(20)}…[+5 chars]${words(30)}`)},` +
      `"obj":{"…":"2 keys omitted","b":${JSON.stringify(text())}},` +
      `"rows":${JSON.stringify(Array.from({ length: 12 }, (_, i) => record(i)))}}`,
    scalar: () => JSON.stringify(text()),
  };
  return shapes;
}

/** [{name, doc}] : every shape, `perShape` times, from `seed`. */
export function documents(seed, perShape) {
  const r = rng(seed);
  const shapes = make(r);
  const out = [];
  for (let k = 0; k < perShape; k++) {
    for (const [name, f] of Object.entries(shapes)) out.push({ name: `${name}#${k}`, doc: f() });
  }
  return out;
}
