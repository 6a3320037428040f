// Documents to start from, made here from a fixed seed so that the
// playground needs no data files and shows the same thing every time.

function random(seed) {
  let s = seed >>> 0;
  return () => {
    s = (Math.imul(s, 1664525) + 1013904223) >>> 0;
    return s / 4294967296;
  };
}

const WORDS = ('export report filter query page cache token retry timeout header date range archive ' +
  'upload session user admin billing invoice search index webhook payload schema migration').split(' ');

function writer(seed) {
  const r = random(seed);
  const int = (n) => Math.floor(r() * n);
  const pick = (xs) => xs[int(xs.length)];
  const words = (n) => Array.from({ length: n }, () => pick(WORDS)).join(' ');
  const sentence = () => {
    const s = words(6 + int(10));
    return `${s[0].toUpperCase()}${s.slice(1)}.`;
  };
  const paragraph = (n) => Array.from({ length: n }, sentence).join(' ');
  const day = (k) => new Date(Date.UTC(2026, 0, 1) + k * 3.7e6).toISOString().replace('.000', '');
  return { r, int, pick, words, sentence, paragraph, day };
}

function issues() {
  const w = writer(7);
  const people = ['mhartley', 'okafor', 'lindqvist', 'tanaka', 'rossi'];
  return JSON.stringify(
    Array.from({ length: 40 }, (_, i) => ({
      id: 2100453000 + i * 17,
      number: 1840 - i,
      title: w.sentence().slice(0, 30 + w.int(40)).replace(/\.?$/, ''),
      state: w.r() < 0.6 ? 'open' : 'closed',
      html_url: `https://tracker.example.com/acme/webapp/issues/${1840 - i}`,
      user: { login: w.pick(people), id: 5100 + w.int(90), avatar_url: `https://avatars.example.com/u/${5100 + i}?v=4` },
      labels: Array.from({ length: w.int(3) }, () => ({ name: w.pick(['bug', 'docs', 'billing', 'p1', 'regression']), color: '0075ca' })),
      comments: w.int(30),
      created_at: w.day(i * 40),
      body: Array.from({ length: 1 + w.int(4) }, () => w.paragraph(2 + w.int(4))).join('\n\n'),
      reactions: { total_count: w.int(9), '+1': w.int(5) },
    })),
    null,
    2,
  );
}

function pods() {
  const w = writer(11);
  const lines = ['apiVersion: v1', 'kind: List', 'items:'];
  for (let i = 0; i < 12; i++) {
    const app = w.pick(['coredns', 'kube-proxy', 'metrics-server', 'ingress-nginx', 'etcd']);
    lines.push(
      '  - kind: Pod',
      '    metadata:',
      `      name: ${app}-${(w.int(1e8) + 1e8).toString(36)}`,
      '      namespace: kube-system',
      '      labels:',
      `        app: ${app}`,
      `        pod-template-hash: ${(w.int(1e9) + 1e9).toString(16)}`,
      '    runtime:',
      `      nodeName: node-${w.int(6)}`,
      '      containers:',
      `        - name: ${app}`,
      `          image: images.example.com/${app}:v1.${w.int(30)}.${w.int(9)}`,
      '          args:',
      ...Array.from({ length: 2 + w.int(5) }, () => `            - --${w.pick(WORDS)}-${w.pick(WORDS)}=${w.int(500)}`),
      '          resources:',
      `            requests: {cpu: ${50 + w.int(200)}m, memory: ${64 + w.int(256)}Mi}`,
      '    status:',
      `      phase: ${w.r() < 0.85 ? 'Running' : 'CrashLoopBackOff'}`,
      `      restartCount: ${w.int(4) ? 0 : w.int(40)}`,
      `      startTime: ${w.day(i * 90)}`,
      '      message: |',
      ...Array.from({ length: 3 + w.int(6) }, () => `        ${w.sentence()}`),
    );
  }
  return `${lines.join('\n')}\n`;
}

function logs() {
  const w = writer(23);
  return JSON.stringify(
    {
      service: 'billing-api',
      window: { from: w.day(0), to: w.day(500) },
      entries: Array.from({ length: 120 }, (_, i) => {
        const level = w.r() < 0.8 ? 'info' : w.r() < 0.7 ? 'warn' : 'error';
        const entry = { ts: w.day(i * 4), level, msg: w.sentence(), request_id: (w.int(1e12) + 1e12).toString(16) };
        if (level === 'error') {
          entry.stack = Array.from({ length: 4 + w.int(12) }, (_, k) => `  at ${w.pick(WORDS)}.${w.pick(WORDS)} (src/${w.pick(WORDS)}.ts:${10 + k * 7})`).join('\n');
        }
        return entry;
      }),
    },
    null,
    2,
  );
}

function search() {
  const w = writer(31);
  return JSON.stringify(
    {
      query: 'webhook retry timeout',
      took_ms: 38,
      total: 2417,
      hits: Array.from({ length: 25 }, (_, i) => ({
        title: w.sentence(),
        url: `https://docs.example.com/${w.pick(WORDS)}/${w.pick(WORDS)}-${i}`,
        score: Number((9.8 - i * 0.31).toFixed(2)),
        snippet: w.paragraph(3 + w.int(5)),
        highlights: Array.from({ length: w.int(4) }, () => w.words(5)),
      })),
    },
    null,
    2,
  );
}

/** [{name, text, options}]: each example with the options it shows off. */
export const examples = [
  { name: 'Issue tracker response (JSON)', make: issues, options: { max_chars: 2000 } },
  { name: 'Issue tracker, condensed (JSON)', make: issues, options: { max_chars: 3000, array_strategy: 'condense', explain: true, query: 'billing regression' } },
  { name: 'Kubernetes pod list (YAML)', make: pods, options: { max_chars: 1800 } },
  { name: 'Service logs (JSON)', make: logs, options: { max_chars: 2500, protect: '/entries/*/level' } },
  { name: 'Search results (JSON)', make: search, options: { max_chars: 1600, query: 'retry' } },
];
