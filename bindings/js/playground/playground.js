// The playground: a document, the options, and the view of what the
// library made of them, updated as either changes. The library runs in a
// worker; this page only sends requests and draws answers.
import { readJson, renderView } from '../view/index.js';
import { examples } from './examples.js';

const $ = (id) => document.getElementById(id);
const fmt = (n) => Number(n).toLocaleString('en-US');
const IN_BOX = 1 << 20; // larger files stay out of the text box, which would crawl
const BUDGET_MIN = 20;

const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
let ready = false;
let fileDoc = null; // {name, text} of a large file dropped or opened
let original = null; // {text, tree}: the current document as the view reads it
let inFlight = null; // the request the worker is on
let waiting = null; // the newest request made meanwhile (older ones are dropped)
let budgetMax = 20000;
let generation = 0;

function status(text, error = false) {
  $('status').textContent = text;
  $('status').classList.toggle('pg-error', error);
}

function docText() {
  return fileDoc ? fileDoc.text : $('doc').value;
}

function options() {
  const o = { max_chars: Math.max(0, Math.round(Number($('budget').value) || 0)) };
  if ($('strategy').value !== 'sample') o.array_strategy = $('strategy').value;
  if ($('format').value !== 'auto') o.format = $('format').value;
  const indent = $('indent').value.trim();
  if (indent !== '') o.indent = Math.max(0, Math.round(Number(indent)));
  const query = $('query').value.trim();
  if (query) o.arguments = { query };
  const protect = $('protect').value.split(',').map((p) => p.trim()).filter(Boolean);
  if (protect.length) o.protect = protect;
  if ($('explain').checked) o.explain = true;
  return o;
}

// The budget slider is logarithmic: small budgets need fine steps.
function budgetToRange(b) {
  const lo = Math.log(BUDGET_MIN);
  const hi = Math.log(budgetMax);
  return Math.round((1000 * (Math.log(Math.max(b, BUDGET_MIN)) - lo)) / (hi - lo));
}
function rangeToBudget(v) {
  const lo = Math.log(BUDGET_MIN);
  const hi = Math.log(budgetMax);
  return Math.round(Math.exp(lo + ((hi - lo) * v) / 1000));
}

function send(request) {
  if (inFlight) {
    waiting = request;
    return;
  }
  inFlight = request;
  worker.postMessage({ id: request.id, doc: request.doc, options: JSON.stringify(request.options), original: request.original });
}

let nextId = 0;
let timer = 0;
function schedule(delay = 150) {
  clearTimeout(timer);
  timer = setTimeout(() => {
    if (!ready) return;
    const doc = docText();
    if (!doc.trim()) {
      status('paste or drop a document to begin');
      $('view').replaceChildren();
      return;
    }
    status('shrinking…');
    send({ id: ++nextId, doc, options: options(), original: original?.text !== doc });
  }, delay);
}

function show(request, reply) {
  const env = JSON.parse(reply.envelope);
  if (reply.original !== null) original = { text: request.doc, tree: readJson(reply.original) };
  else if (request.original) original = null;
  if (!env.ok) {
    status(env.error, true);
    renderView($('view'), { envelope: env });
    return;
  }
  const r = env.report;
  if (request.original) {
    budgetMax = Math.max(200, Math.ceil(r.input_chars * 1.05));
    $('budget-range').value = budgetToRange(Number($('budget').value));
  }
  const started = performance.now();
  renderView($('view'), { original: original.tree, envelope: env, options: request.options });
  const drawn = performance.now() - started;
  status(
    `${fmt(r.output_chars)} of ${fmt(r.input_chars)} chars, budget ${fmt(r.max_chars)}` +
      `${r.fits ? '' : ' (does not fit)'} · shrunk in ${fmt(reply.ms.toFixed(1))} ms, drawn in ${fmt(drawn.toFixed(1))} ms`,
  );
  document.body.dataset.generation = ++generation;
}

worker.addEventListener('message', ({ data }) => {
  if (data.ready) {
    ready = true;
    schedule(0);
    return;
  }
  const request = inFlight;
  inFlight = null;
  if (data.failure) status(data.failure, true);
  else if (!waiting) show(request, data); // a newer request makes this answer moot
  if (waiting) {
    const next = waiting;
    waiting = null;
    send(next);
  }
});
worker.addEventListener('error', (e) => status(`the worker failed: ${e.message}`, true));

function setDoc(text, name) {
  if (text.length > IN_BOX) {
    fileDoc = { name, text };
    $('doc').value = '';
    $('doc').placeholder = `${name}: ${fmt(text.length)} characters, kept out of the text box. Type here to replace it.`;
    $('docinfo').textContent = name;
  } else {
    fileDoc = null;
    $('doc').value = text;
    $('docinfo').textContent = name ?? '';
  }
  schedule(0);
}

async function readFile(file) {
  $('example').value = '';
  setDoc(await file.text(), file.name);
}

function applyExample(i) {
  const ex = examples[i];
  const o = ex.options;
  $('budget').value = o.max_chars;
  $('strategy').value = o.array_strategy ?? 'sample';
  $('format').value = o.format ?? 'auto';
  $('indent').value = 2;
  $('query').value = o.query ?? '';
  $('protect').value = [].concat(o.protect ?? []).join(', ');
  $('explain').checked = Boolean(o.explain);
  setDoc(ex.make(), '');
}

for (const [i, ex] of examples.entries()) {
  const opt = document.createElement('option');
  opt.value = String(i);
  opt.textContent = ex.name;
  $('example').append(opt);
}
$('example').addEventListener('change', () => {
  if ($('example').value !== '') applyExample(Number($('example').value));
});
$('doc').addEventListener('input', () => {
  fileDoc = null;
  $('example').value = '';
  $('docinfo').textContent = '';
  schedule();
});
$('budget-range').addEventListener('input', () => {
  $('budget').value = rangeToBudget(Number($('budget-range').value));
  schedule(60);
});
$('budget').addEventListener('input', () => {
  $('budget-range').value = budgetToRange(Number($('budget').value));
  schedule();
});
for (const id of ['strategy', 'format', 'explain']) $(id).addEventListener('change', () => schedule(0));
for (const id of ['indent', 'query', 'protect']) $(id).addEventListener('input', () => schedule());
$('open').addEventListener('click', () => $('file').click());
$('file').addEventListener('change', () => {
  if ($('file').files[0]) readFile($('file').files[0]);
});
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.body.classList.add('pg-dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('pg-dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('pg-dragging');
  const file = e.dataTransfer?.files?.[0];
  if (file) readFile(file);
});

$('example').value = '0';
applyExample(0);
