// The side-by-side view: the original on the left, the answer on the right,
// one row per line of both trees, so that folding and scrolling move both.
// Rows below a folded container are built only when it is first opened, and
// long lists and strings are shown a piece at a time, so a large original
// costs little more than reading it.

import { readJson } from './json.js';
import { parseTersoliteYaml } from './yaml.js';
import { align, countCuts, SAME } from './align.js';

const CHUNK = 200; // rows of a list shown at a time
const TEXT_LIMIT = 240; // characters of a string piece shown before "more"
const OPEN_CHANGED = 20; // changed containers open by default, per list
const SMALL_TREE = 40; // unchanged containers this small start open

function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

const fmt = (n) => Number(n).toLocaleString('en-US');
const plural = (n, one, many) => `${fmt(n)} ${n === 1 ? one : many}`;
const esc = (s) => JSON.stringify(s).slice(1, -1);

// Cut at or before `at`, never inside a surrogate pair.
function safeCut(s, at) {
  if (at >= s.length) return s.length;
  const c = s.charCodeAt(at - 1);
  return c >= 0xd800 && c < 0xdc00 ? at - 1 : at;
}

function countNodes(node, limit) {
  let seen = 0;
  const stack = [node];
  while (stack.length && seen <= limit) {
    const x = stack.pop();
    seen++;
    if (x.t === 'a') stack.push(...x.items.slice(0, limit));
    else if (x.t === 'o') stack.push(...x.vals.slice(0, limit));
  }
  return seen;
}

// The first members or items of a folded container, in one short line.
function preview(node, limit = 90) {
  let out = '';
  const add = (t) => {
    out += t;
    return out.length < limit;
  };
  const walk = (x, depth) => {
    if (x.t === 's') return add(JSON.stringify(x.v.length > 40 ? `${x.v.slice(0, safeCut(x.v, 37))}…` : x.v));
    if (x.t === 'n') return add(x.v);
    if (x.t === 'b') return add(String(x.v));
    if (x.t === 'z') return add('null');
    const isArr = x.t === 'a';
    if (depth > 0) return add(isArr ? `[${size(x) ? '…' : ''}]` : `{${size(x) ? '…' : ''}}`);
    for (let i = 0; i < size(x); i++) {
      if (i && !add(', ')) return false;
      if (!isArr && !add(`${JSON.stringify(x.keys[i])}: `)) return false;
      if (!walk(isArr ? x.items[i] : x.vals[i], depth + 1)) return false;
    }
    return true;
  };
  if (walk(node, 0)) return out;
  return `${out.slice(0, limit)}…`;
}

function size(node) {
  return node.t === 'a' ? node.items.length : node.keys.length;
}

/** Compiled `protect` patterns: segments and whether anchored at the root. */
export function compileProtect(protect) {
  const list = protect === undefined || protect === null ? [] : Array.isArray(protect) ? protect : [protect];
  return list
    .filter((p) => typeof p === 'string')
    .map((p) => ({ segs: p.split('/').filter(Boolean), anchored: p.startsWith('/') }))
    .filter((p) => p.segs.length > 0);
}

/** Whether a path (keys, '*' for items) is named by one of the patterns. */
export function matchesProtect(patterns, path) {
  return patterns.some(({ segs, anchored }) => {
    if (segs.length > path.length || (anchored && segs.length !== path.length)) return false;
    const off = path.length - segs.length;
    return segs.every((s, i) => s === '*' || s === path[off + i]);
  });
}

// Shows `text` with pieces styled and linked: pieces [{from, to, cls, link}].
function stringCell(cell, text, pieces) {
  cell.append(el('span', 'tsv-q', '"'));
  for (const p of pieces) {
    const span = el('span', p.cls);
    if (p.link) span.dataset.l = p.link;
    const len = p.to - p.from;
    if (len > TEXT_LIMIT) {
      const cut = safeCut(text, p.from + TEXT_LIMIT / 2);
      span.append(esc(text.slice(p.from, cut)));
      const more = el('button', 'tsv-more', `⋯ ${plural(p.to - cut, 'more char', 'more chars')}`);
      more.type = 'button';
      let shown = cut;
      more.addEventListener('click', (ev) => {
        ev.stopPropagation();
        // Large texts open a piece at a time.
        const end = safeCut(text, Math.min(p.to, shown + 100000));
        more.before(esc(text.slice(shown, end)));
        shown = end;
        if (shown >= p.to) more.remove();
        else more.textContent = `⋯ ${plural(p.to - shown, 'more char', 'more chars')}`;
      });
      span.append(more);
    } else span.textContent = esc(text.slice(p.from, p.to));
    cell.append(span);
  }
  cell.append(el('span', 'tsv-q', '"'));
}

function scalarCell(cell, node) {
  if (node.t === 's') stringCell(cell, node.v, [{ from: 0, to: node.v.length, cls: 'tsv-s' }]);
  else if (node.t === 'n') cell.append(el('span', 'tsv-n', node.v));
  else cell.append(el('span', 'tsv-b', node.t === 'z' ? 'null' : String(node.v)));
}

class Tree {
  constructor(root, protect) {
    this.root = root;
    this.protect = protect;
    this.links = 0;
  }

  link() {
    return `l${++this.links}`;
  }

  // A row of two cells at `depth`; `label` is a key (string) or an index (number).
  row(parent, depth, cls, label, sides = 'both') {
    const row = el('div', `tsv-row ${cls}`);
    row.style.setProperty('--d', depth);
    const l = el('div', 'tsv-l');
    const r = el('div', 'tsv-r');
    row.append(l, r);
    if (label !== undefined && label !== null) {
      const put = (cell) => {
        if (typeof label === 'number') cell.append(el('span', 'tsv-i', `${label}`));
        else cell.append(el('span', 'tsv-k', JSON.stringify(label)), el('span', 'tsv-c', ': '));
      };
      put(l);
      if (sides === 'both') put(r);
    }
    parent.append(row);
    return { row, l, r };
  }

  isProtected(path, inherited) {
    return !inherited && this.protect.length > 0 && matchesProtect(this.protect, path);
  }

  // A foldable container: an opening row, children built on first opening,
  // a closing row. fill(kids) builds the children; summary says what a
  // folded container holds.
  container(parent, { depth, label, node, answer, cls, open, fill, sides = 'both', badge, prot }) {
    const brackets = node.t === 'a' ? ['[', ']'] : ['{', '}'];
    const head = this.row(parent, depth, cls, label, sides);
    if (prot) head.row.classList.add('tsv-prot');
    const tg = el('button', 'tsv-tg');
    tg.type = 'button';
    head.l.prepend(tg);
    const sum = (x, cell) => {
      cell.append(el('span', 'tsv-p', brackets[0]));
      const n = size(x);
      const s = el('span', 'tsv-sum', ` ${preview(x)}  ${x.t === 'a' ? plural(n, 'item', 'items') : plural(n, 'key', 'keys')} ${brackets[1]}`);
      cell.append(s);
      return s;
    };
    const sums = [sum(node, head.l)];
    if (sides === 'both') sums.push(sum(answer ?? node, head.r));
    if (badge) head.l.append(el('span', 'tsv-badge', badge));
    const kids = el('div', 'tsv-kids');
    const close = this.row(parent, depth, cls, undefined, sides);
    close.l.append(el('span', 'tsv-p', brackets[1]));
    if (sides === 'both') close.r.append(el('span', 'tsv-p', brackets[1]));
    head.row.after(kids);
    let built = false;
    const set = (isOpen) => {
      if (isOpen && !built) {
        built = true;
        fill(kids);
      }
      kids.hidden = !isOpen;
      close.row.hidden = !isOpen;
      for (const s of sums) s.hidden = isOpen;
      tg.textContent = isOpen ? '▾' : '▸';
      tg.setAttribute('aria-expanded', String(isOpen));
      head.row.classList.toggle('tsv-folded', !isOpen);
    };
    tg.addEventListener('click', () => set(kids.hidden));
    set(open);
    return { head, kids };
  }

  // `count` children, CHUNK at a time behind a "show more" row.
  chunked(kids, count, depth, renderAt) {
    let next = 0;
    const more = () => {
      const end = Math.min(count, next + CHUNK);
      for (; next < end; next++) renderAt(next);
      if (next < count) {
        const { row, l } = this.row(kids, depth, 'tsv-morerow');
        const b = el('button', 'tsv-more', `show ${fmt(Math.min(CHUNK, count - next))} more of ${fmt(count - next)}`);
        b.type = 'button';
        b.addEventListener('click', () => {
          row.remove();
          more();
        });
        l.append(b);
      }
    };
    more();
  }

  // An unchanged subtree (both sides), or a dropped one (left side only).
  // crowded: among many siblings, where an open subtree would push the
  // others (and the gaps between them) out of sight.
  whole(parent, node, { depth, label, path, gone = false, prot = false, inherited = false, crowded = false }) {
    const sides = gone ? 'left' : 'both';
    const cls = gone ? 'st-gone' : 'st-whole';
    const isProt = this.isProtected(path, inherited);
    if (node.t !== 'a' && node.t !== 'o') {
      const { row, l, r } = this.row(parent, depth, cls, label, sides);
      if (prot || isProt) row.classList.add('tsv-prot');
      scalarCell(l, node);
      if (!gone) scalarCell(r, node);
      return;
    }
    const n = size(node);
    this.container(parent, {
      depth,
      label,
      node,
      cls,
      sides,
      prot: prot || isProt,
      open: !gone && (depth === 0 || (!crowded && depth < 4 && countNodes(node, SMALL_TREE) <= SMALL_TREE)),
      fill: (kids) =>
        this.chunked(kids, n, depth + 1, (i) => {
          const isArr = node.t === 'a';
          this.whole(kids, isArr ? node.items[i] : node.vals[i], {
            depth: depth + 1,
            label: isArr ? i : node.keys[i],
            path: [...path, isArr ? '*' : node.keys[i]],
            gone,
            inherited: inherited || isProt,
            crowded: n > 5,
          });
        }),
    });
  }

  pair(parent, p, o, a, { depth, label, path, index = 0, inherited = false, crowded = false }) {
    if (p === SAME) return this.whole(parent, o, { depth, label, path, inherited, crowded });
    const prot = this.isProtected(path, inherited);
    const inner = inherited || prot;
    if (p.k === 'str') return this.string(parent, p, { depth, label, prot });
    if (p.k === 'odd') return this.odd(parent, o, a, { depth, label });
    const isArr = p.k === 'arr';
    const n = size(o);
    const kept = isArr ? p.entries.filter((e) => !e.gap).length : p.entries.length;
    const badge = {
      sampled: `sampled: ${fmt(kept)} of ${plural(n, 'item', 'items')} kept`,
      collapsed: 'collapsed',
      condensed: 'condensed: every record, fewer fields',
      trimmed: `trimmed: ${fmt(kept)} of ${plural(n, 'key', 'keys')} kept`,
      projected: `${plural(p.dropped?.length ?? 0, 'field', 'fields')} dropped`,
      kept: null,
    }[p.mode];
    this.container(parent, {
      depth,
      label,
      node: o,
      answer: a,
      cls: 'st-short',
      badge,
      prot,
      open: index < OPEN_CHANGED,
      fill: (kids) =>
        isArr
          ? this.arrayEntries(kids, p, o, a, depth + 1, path, inner)
          : this.objectEntries(kids, p, o, a, depth + 1, path, inner),
    });
  }

  arrayEntries(kids, p, o, a, depth, path, inherited) {
    let changed = 0;
    this.chunked(kids, p.entries.length, depth, (k) => {
      const e = p.entries[k];
      if (e.gap) {
        const link = this.link();
        this.droppedRun(kids, {
          depth,
          link,
          text: `${plural(e.gap, 'item', 'items')} dropped` + (e.gap > 1 ? ` (${fmt(e.from)}–${fmt(e.from + e.gap - 1)})` : ` (${fmt(e.from)})`),
          marker: a.items[e.ai].v,
          kind: 'items',
          count: e.gap,
          renderAt: (kk, i) =>
            this.whole(kk, o.items[e.from + i], { depth, label: e.from + i, path: [...path, '*'], gone: true, inherited }),
        });
      } else {
        this.pair(kids, e.p, o.items[e.oi], a.items[e.ai], {
          depth,
          label: e.oi,
          path: [...path, '*'],
          index: e.p === SAME ? 0 : changed++,
          inherited,
          crowded: p.entries.length > 5,
        });
      }
    });
  }

  objectEntries(kids, p, o, a, depth, path, inherited) {
    // Members in the original's order; runs of dropped ones become one row.
    const rows = [];
    const byOi = new Map(p.entries.map((e) => [e.oi, e]));
    const dropped = new Set(p.dropped);
    for (let i = 0; i < size(o); ) {
      if (dropped.has(i)) {
        const run = [];
        while (dropped.has(i)) run.push(i++);
        rows.push({ run });
      } else rows.push({ e: byOi.get(i++) });
    }
    const link = p.marker >= 0 ? this.link() : null;
    const markerText = p.marker >= 0 ? a.vals[p.marker].v : null;
    const last = rows[rows.length - 1];
    // The marker shares the row of the last run when that run ends the object.
    const markerOnLast = link && last?.run;
    const word = p.mode === 'projected' ? ['field', 'fields'] : ['key', 'keys'];
    let changed = 0;
    for (const r of rows) {
      if (r.run) {
        const names = r.run.map((i) => JSON.stringify(o.keys[i]));
        const shown = names.slice(0, 6).join(', ') + (names.length > 6 ? ', …' : '');
        this.droppedRun(kids, {
          depth,
          link: link ?? this.link(),
          text: `${plural(r.run.length, ...word)} dropped: ${shown}`,
          marker: r === last && markerOnLast ? markerText : null,
          markerKey: true,
          kind: p.mode === 'projected' ? 'fields' : 'keys',
          count: r.run.length,
          renderAt: (kk, k) => {
            const i = r.run[k];
            this.whole(kk, o.vals[i], { depth, label: o.keys[i], path: [...path, o.keys[i]], gone: true, inherited });
          },
        });
      } else {
        const { e } = r;
        this.pair(kids, e.p, o.vals[e.oi], a.vals[e.ai], {
          depth,
          label: o.keys[e.oi],
          path: [...path, o.keys[e.oi]],
          index: e.p === SAME ? 0 : changed++,
          inherited,
          crowded: rows.length > 12,
        });
      }
    }
    if (link && !markerOnLast) {
      const { l, r } = this.row(kids, depth, 'st-gone tsv-markerrow');
      l.append(el('span', 'tsv-sum', `${plural(p.dropped.length, 'key', 'keys')} dropped above`));
      l.dataset.l = link;
      this.markerMember(r, markerText, link);
    }
  }

  markerMember(cell, text, link) {
    const mk = el('span', 'tsv-mk');
    mk.dataset.l = link;
    mk.append(el('span', 'tsv-k', '"…"'), el('span', 'tsv-c', ': '), el('span', 'tsv-s', JSON.stringify(text)));
    cell.append(mk);
  }

  // One folded row for dropped content; its marker (if any) on the right.
  droppedRun(kids, { depth, link, text, marker, markerKey = false, kind, count, renderAt }) {
    const { row, l, r } = this.row(kids, depth, 'st-gone tsv-run');
    row.dataset[kind] = count;
    const tg = el('button', 'tsv-tg', '▸');
    tg.type = 'button';
    tg.setAttribute('aria-expanded', 'false');
    l.append(tg, el('span', 'tsv-sum', text));
    l.dataset.l = link;
    if (marker !== null && marker !== undefined) {
      if (markerKey) this.markerMember(r, marker, link);
      else {
        const mk = el('span', 'tsv-mk', JSON.stringify(marker));
        mk.dataset.l = link;
        r.append(mk);
      }
    }
    let box = null;
    tg.addEventListener('click', () => {
      if (!box) {
        box = el('div', 'tsv-kids tsv-gonebox');
        box.dataset.l = link;
        row.after(box);
        this.chunked(box, count, depth, (i) => renderAt(box, i));
        box.hidden = true;
      }
      box.hidden = !box.hidden;
      tg.textContent = box.hidden ? '▸' : '▾';
      tg.setAttribute('aria-expanded', String(!box.hidden));
    });
  }

  string(parent, p, { depth, label, prot }) {
    const { row, l, r } = this.row(parent, depth, 'st-short', label);
    row.dataset.cut = 'string';
    if (prot) row.classList.add('tsv-prot');
    const left = [];
    const right = [];
    for (const part of p.parts) {
      if (part.keep) {
        left.push({ from: part.keep[0], to: part.keep[1], cls: 'tsv-s' });
        right.push({ from: part.at, to: part.at + part.keep[1] - part.keep[0], cls: 'tsv-s' });
      } else {
        const link = this.link();
        left.push({ from: part.drop[0], to: part.drop[1], cls: 'tsv-cut', link });
        right.push({ from: part.marker[0], to: part.marker[1], cls: 'tsv-mk', link });
      }
    }
    stringCell(l, p.o.v, left);
    stringCell(r, p.a.v, right);
  }

  odd(parent, o, a, { depth, label }) {
    const { l, r } = this.row(parent, depth, 'st-odd', label);
    const preview = (node) => {
      const t = JSON.stringify(node.t === 's' ? node.v : `(${node.t === 'a' ? 'array' : node.t === 'o' ? 'object' : 'value'})`);
      return t.length > 200 ? `${t.slice(0, 200)}…` : t;
    };
    l.append(el('span', 'tsv-sum', `changed in a way no marker explains: ${preview(o)}`));
    r.append(el('span', 'tsv-sum', preview(a)));
  }
}

function header(report, answerText, counts, options, protect, title) {
  const head = el('section', 'tsv-head');
  if (title) head.append(el('h1', 'tsv-title', title));
  const input = report.input_chars;
  const output = report.output_chars;
  const budget = report.max_chars;
  const scale = Math.max(input, output, budget, 1);
  const bar = el('div', 'tsv-bar');
  bar.setAttribute('role', 'img');
  bar.setAttribute('aria-label', `output ${output} of input ${input} characters, budget ${budget}`);
  const track = el('div', 'tsv-track');
  track.style.width = `${(100 * input) / scale}%`;
  const fill = el('div', `tsv-fill ${report.fits ? 'ok' : 'over'}`);
  fill.style.width = `${(100 * output) / scale}%`;
  const tick = el('div', 'tsv-budget');
  tick.style.left = `${Math.min(100, (100 * budget) / scale)}%`;
  bar.append(track, fill, tick);
  const facts = el('div', 'tsv-facts');
  const fact = (name, value, cls) => {
    const f = el('span', `tsv-fact ${cls ?? ''}`);
    f.append(el('b', null, value), ` ${name}`);
    facts.append(f);
  };
  facts.append(el('span', `tsv-fits ${report.fits ? 'ok' : 'over'}`, report.fits ? 'fits' : 'does not fit'));
  fact('input chars', fmt(input));
  fact(`output chars (${input ? ((100 * output) / input).toFixed(output < input / 100 ? 2 : 1) : 100}% of input)`, fmt(output), 'out');
  fact('budget', fmt(budget), 'budget');
  fact(`${report.input_format} → ${report.format}`, '', 'fmt');
  if (!report.pruned) facts.append(el('span', 'tsv-fact', 'nothing cut: the document fits as written'));
  const counters = el('div', 'tsv-counters');
  for (const key of ['strings_truncated', 'arrays_sampled', 'items_omitted', 'objects_trimmed', 'keys_omitted', 'containers_collapsed', 'arrays_condensed', 'fields_dropped', 'protected_omitted']) {
    const chip = el('span', `tsv-chip${report[key] ? '' : ' zero'}`);
    chip.dataset.counter = key;
    chip.append(el('b', null, fmt(report[key] ?? 0)), ` ${key}`);
    counters.append(chip);
  }
  const agree =
    counts.itemsDropped === report.items_omitted &&
    counts.keysDropped === report.keys_omitted &&
    counts.stringsShortened === report.strings_truncated &&
    counts.unexplained === 0;
  const check = el(
    'span',
    `tsv-check ${agree ? 'ok' : 'over'}`,
    agree
      ? '✓ every cut below accounted for'
      : `view counts ${counts.itemsDropped} items, ${counts.keysDropped} keys, ${counts.stringsShortened} strings, ${counts.unexplained} unexplained`,
  );
  counters.append(check);
  head.append(bar, facts, counters);

  const legend = el('div', 'tsv-legend');
  for (const [cls, text] of [
    ['st-whole', 'kept whole'],
    ['st-short', 'kept shortened'],
    ['st-gone', 'dropped'],
    ['tsv-mk', 'marker (point at it)'],
  ]) {
    const item = el('span', 'tsv-key');
    item.append(el('i', cls), text);
    legend.append(item);
  }
  if (protect.length) {
    const item = el('span', 'tsv-key');
    item.append(el('i', 'tsv-prot'), `protected: ${(Array.isArray(options.protect) ? options.protect : [options.protect]).join(', ')}`);
    legend.append(item);
  }
  head.append(legend);

  // The request as sent, less the budget shown above.
  const asked = Object.entries(options).filter(([k]) => k !== 'max_chars');
  if (asked.length) {
    const line = el('div', 'tsv-options');
    line.append(el('span', 'tsv-dim', 'options '));
    for (const [k, v] of asked) line.append(el('code', null, `${k}: ${JSON.stringify(v)}`));
    head.append(line);
  }

  const tables = el('div', 'tsv-tables');
  if (report.dropped_fields?.length) {
    tables.append(table('Dropped fields', ['path', 'items'], report.dropped_fields, 'tsv-dropped'));
  }
  if (report.field_decisions?.length) {
    tables.append(table('Field decisions', ['path', 'score', 'kept', 'relevance'], report.field_decisions, 'tsv-decisions'));
  }
  const text = el('details', 'tsv-table tsv-text');
  text.append(el('summary', null, `Answer text (${fmt(report.output_chars)} chars)`));
  text.addEventListener('toggle', () => {
    // Written out on first opening only: the text may be long.
    if (text.open && !text.querySelector('pre')) text.append(el('pre', null, answerText));
  });
  tables.append(text);
  head.append(tables);
  return head;
}

// A table that sorts by a column when its heading is clicked.
function table(title, columns, rows, cls) {
  const box = el('details', `tsv-table ${cls}`);
  box.open = true;
  box.append(el('summary', null, `${title} (${fmt(rows.length)})`));
  const t = el('table');
  const headRow = el('tr');
  const body = el('tbody');
  let sortBy = null;
  let dir = 1;
  const fill = () => {
    const sorted = [...rows];
    if (sortBy) {
      sorted.sort((x, y) => {
        const a = x[sortBy];
        const b = y[sortBy];
        return (typeof a === 'string' ? a.localeCompare(b) : Number(a) - Number(b)) * dir;
      });
    }
    body.replaceChildren(
      ...sorted.map((r) => {
        const tr = el('tr');
        if (r.kept === false) tr.className = 'st-gone';
        for (const c of columns) {
          const v = r[c];
          tr.append(el('td', typeof v === 'string' ? 'path' : 'num', typeof v === 'number' ? (c === 'items' ? fmt(v) : v.toFixed(3)) : String(v)));
        }
        return tr;
      }),
    );
    for (const th of headRow.children) {
      th.dataset.sort = th.dataset.col === sortBy ? (dir > 0 ? 'asc' : 'desc') : '';
    }
  };
  for (const c of columns) {
    const th = el('th');
    const b = el('button', null, c);
    b.type = 'button';
    th.dataset.col = c;
    th.append(b);
    b.addEventListener('click', () => {
      dir = sortBy === c ? -dir : typeof rows[0][c] === 'string' ? 1 : -1;
      sortBy = c;
      fill();
    });
    headRow.append(th);
  }
  t.append(el('thead'), body);
  t.firstChild.append(headRow);
  fill();
  box.append(t);
  return box;
}

function parseMaybe(x) {
  return typeof x === 'string' ? JSON.parse(x) : x;
}

/** The answer of a success envelope as a view tree (JSON or the library's YAML). */
export function readAnswer(envelope, options = {}) {
  const env = parseMaybe(envelope);
  if (env.report.format === 'yaml') {
    const indent = options.indent ?? 2;
    return parseTersoliteYaml(env.text, indent);
  }
  return readJson(env.text);
}

/**
 * Renders the view into `container` (its content is replaced).
 *   original  the document as JSON text (YAML documents: as the library reads
 *             them, written as JSON), or a tree from readJson or parseJson
 *   envelope  the library's envelope (text or parsed)
 *   options   the request's options (object or JSON text)
 *   answer    optional: the answer as a tree, when the caller has read it
 *   title     optional: a heading, such as the document's name
 * Returns {counts, report, pair}; counts are the view's own (see countCuts).
 */
export function renderView(container, { original, envelope, options = {}, answer, title } = {}) {
  const env = parseMaybe(envelope);
  const opts = parseMaybe(options) ?? {};
  const root = el('div', 'tsv');
  if (!env || !env.ok) {
    root.append(el('div', 'tsv-error', `tersolite: ${env?.error ?? 'no envelope'}`));
    container.replaceChildren(root);
    return { counts: null, report: null, pair: null };
  }
  // The marks let a test or a curious reader see where the time goes.
  performance.mark('tsv:start');
  const o = typeof original === 'string' ? readJson(original) : original;
  const a = answer ?? readAnswer(env, opts);
  performance.mark('tsv:parsed');
  const pair = align(o, a, opts);
  performance.mark('tsv:aligned');
  const counts = countCuts(pair);
  const protect = compileProtect(opts.protect);
  Object.assign(root.dataset, {
    itemsDropped: counts.itemsDropped,
    keysDropped: counts.keysDropped,
    stringsShortened: counts.stringsShortened,
    unexplained: counts.unexplained,
  });
  root.append(header(env.report, env.text, counts, opts, protect, title));
  const grid = el('div', 'tsv-grid');
  const cols = el('div', 'tsv-cols');
  cols.append(el('div', null, `Original (${env.report.input_format})`), el('div', null, `Answer (${env.report.format})`));
  grid.append(cols);
  const tree = new Tree(root, protect);
  tree.pair(grid, pair, o, a, { depth: 0, label: null, path: [] });
  root.append(grid);

  // Pointing at a marker lights up what it stands for, and the reverse.
  let lit = [];
  root.addEventListener('mouseover', (ev) => {
    const t = ev.target.closest('[data-l]');
    const id = t?.dataset.l;
    if (lit.length && lit[0].dataset.l === id) return;
    for (const x of lit) x.classList.remove('tsv-hl');
    lit = id ? [...root.querySelectorAll(`[data-l="${id}"]`)] : [];
    for (const x of lit) x.classList.add('tsv-hl');
  });
  container.replaceChildren(root);
  performance.mark('tsv:rendered');
  return { counts, report: env.report, pair };
}
