// Which part of the original each part of the answer stands for.
//
// The answer is built from the original by a few operations, each of which
// leaves a marker that says exactly how much it removed, so the alignment is
// computed, not guessed:
//   sampled array    kept items in order; "…[N items omitted]" stands for the
//                    next N items of the original
//   collapsed array  the single item "…[N items omitted]" with N = length
//   condensed array  every record, each with a subsequence of its members
//                    (nested objects likewise), no marker
//   trimmed object   a subsequence of the members, then the member
//                    "…": "N keys omitted" for the N others
//   collapsed object that marker member alone (or after protected members)
//   shortened string pieces of the original, in order; "…[+N chars]" stands
//                    for the next N characters, "…[+N lines, C chars]" and
//                    "…[+N sections, C chars]" for the next C
// Everything else must be equal. Where the original itself holds text that
// looks like a marker the reading is ambiguous; the alignment then backtracks
// and takes the reading under which the counts add up.
//
// Result: a tree of pairs over the original (o) and answer (a) nodes.
//   SAME                                   a equals o
//   {k: 'str', o, a, parts}                parts: {keep: [o0, o1], at: a0}
//                                          or {drop: [o0, o1], marker: [a0, a1]}
//                                          (UTF-16 offsets into o.v and a.v)
//   {k: 'arr', o, a, mode, entries}        mode: sampled | collapsed | condensed | kept
//                                          entries: {oi, ai, p} or {gap: N, from: oi, ai}
//   {k: 'obj', o, a, mode, entries, dropped, marker}
//                                          mode: trimmed | collapsed | projected | kept
//                                          entries: {oi, ai, p}; dropped: original indices;
//                                          marker: answer index of the marker member or -1
//   {k: 'odd', o, a}                       not explained by any operation

import { sameLazy } from './json.js';

export const SAME = Object.freeze({ k: 'same' });

const GAP = /^…\[([1-9][0-9]*) items omitted\]$/;
const KEYS = /^([1-9][0-9]*) keys omitted$/;
const CUT = /…\[\+([0-9]+) (?:chars\]|(?:lines|sections), ([0-9]+) chars\])/g;
const ELLIPSIS_KEY = '…';

/** The count of a gap marker item, or 0 when the node is not one. */
export function gapCount(node) {
  if (node.t !== 's') return 0;
  const m = GAP.exec(node.v);
  return m ? Number(m[1]) : 0;
}

function keysMarkerCount(node) {
  if (node.t !== 's') return 0;
  const m = KEYS.exec(node.v);
  return m ? Number(m[1]) : 0;
}

/** UTF-16 offset reached from `at` after `count` Unicode scalar values, or -1. */
function advanceChars(s, at, count) {
  let i = at;
  for (let k = 0; k < count; k++) {
    if (i >= s.length) return -1;
    const c = s.charCodeAt(i);
    i += c >= 0xd800 && c < 0xdc00 && i + 1 < s.length ? 2 : 1;
  }
  return i;
}

function alignString(o, a) {
  if (o.v === a.v) return SAME;
  const ov = o.v;
  const av = a.v;
  const marks = [];
  for (const m of av.matchAll(CUT)) {
    marks.push({ at: m.index, end: m.index + m[0].length, chars: Number(m[2] ?? m[1]) });
  }
  if (marks.length === 0) return null;
  // Depth-first over the readings of each marker-like piece: a marker, or
  // (when the original holds the same text there) literal text.
  const parts = [];
  let steps = 0;
  const solve = (mi, apos, opos) => {
    if (++steps > 10000) return false;
    const next = mi < marks.length ? marks[mi].at : av.length;
    const lit = av.slice(apos, next);
    if (!ov.startsWith(lit, opos)) return false;
    const before = parts.length;
    if (lit.length) parts.push({ keep: [opos, opos + lit.length], at: apos });
    const o1 = opos + lit.length;
    if (mi === marks.length) {
      if (o1 === ov.length) return true;
      parts.length = before;
      return false;
    }
    const mk = marks[mi];
    const o2 = advanceChars(ov, o1, mk.chars);
    if (o2 >= 0) {
      parts.push({ drop: [o1, o2], marker: [mk.at, mk.end] });
      if (solve(mi + 1, mk.end, o2)) return true;
      parts.length = before + (lit.length ? 1 : 0);
    }
    // The marker-like text may be the original's own.
    if (ov.startsWith(av.slice(mk.at, mk.end), o1)) {
      parts.push({ keep: [o1, o1 + mk.end - mk.at], at: mk.at });
      if (solve(mi + 1, mk.end, o1 + mk.end - mk.at)) return true;
    }
    parts.length = before;
    return false;
  };
  if (!solve(0, 0, 0)) return null;
  // Adjacent kept pieces read better as one.
  const merged = [];
  for (const p of parts) {
    const last = merged[merged.length - 1];
    if (p.keep && last && last.keep && last.keep[1] === p.keep[0] && last.at + last.keep[1] - last.keep[0] === p.at) {
      last.keep = [last.keep[0], p.keep[1]];
    } else merged.push(p);
  }
  return { k: 'str', o, a, parts: merged };
}

class Aligner {
  constructor(options) {
    this.condense = String(options?.array_strategy ?? options?.arrayStrategy ?? 'sample').toLowerCase() === 'condense';
    this.memo = new Map();
  }

  // proj: inside a condensed record, where objects may lose members without a marker.
  align(o, a, proj) {
    if (o.t !== a.t) return null;
    switch (o.t) {
      case 's':
        return alignString(o, a);
      case 'n':
      case 'b':
        return o.v === a.v ? SAME : null;
      case 'z':
        return SAME;
      default: {
        // Large unchanged subtrees are compared without building their nodes.
        if (sameLazy(o, a)) return SAME;
        let byA = this.memo.get(a);
        if (!byA) this.memo.set(a, (byA = []));
        for (const m of byA) if (m.o === o && m.proj === proj) return m.r;
        const r = o.t === 'a' ? this.alignArray(o, a) : this.alignObject(o, a, proj);
        byA.push({ o, proj, r });
        return r;
      }
    }
  }

  alignArray(o, a) {
    const n = o.items.length;
    const m = a.items.length;
    if (m === n) {
      // Every item kept, possibly shortened; records of a condensed array
      // may have lost members.
      const records = this.condense && n >= 2 && o.items.every((x) => x.t === 'o');
      const entries = [];
      let same = true;
      let projected = false;
      for (let i = 0; i < n; i++) {
        let p = this.align(o.items[i], a.items[i], false);
        if (!p && records) {
          p = this.align(o.items[i], a.items[i], true);
          if (p) projected = true;
        }
        if (!p) {
          entries.length = 0;
          break;
        }
        if (p !== SAME) same = false;
        entries.push({ oi: i, ai: i, p });
      }
      if (entries.length === n) {
        if (same) return SAME;
        return { k: 'arr', o, a, mode: projected ? 'condensed' : 'kept', entries };
      }
    }
    const entries = this.walkGaps(o.items, a.items);
    if (!entries) return null;
    const collapsed = entries.length === 1 && entries[0].gap === n;
    return { k: 'arr', o, a, mode: collapsed ? 'collapsed' : 'sampled', entries };
  }

  // Kept items and gap markers, in order, covering the original exactly.
  walkGaps(oi0, ai0) {
    const n = oi0.length;
    const m = ai0.length;
    const entries = [];
    const choices = [];
    let ai = 0;
    let oi = 0;
    let literal = false; // read the marker-like item at ai as an item
    let steps = 0;
    for (;;) {
      let ok = true;
      if (ai === m) {
        if (oi === n) return entries;
        ok = false;
      } else {
        const g = literal ? 0 : gapCount(ai0[ai]);
        literal = false;
        if (g > 0) {
          const last = entries[entries.length - 1];
          if (oi < n && ai0[ai].t === oi0[oi].t && ai0[ai].v === oi0[oi].v) {
            choices.push({ ai, oi, len: entries.length });
          }
          // Two gaps in a row would have been one.
          if (oi + g <= n && !(last && last.gap)) {
            entries.push({ gap: g, from: oi, ai });
            ai++;
            oi += g;
            continue;
          }
          ok = false;
        } else if (oi < n) {
          const p = this.align(oi0[oi], ai0[ai], false);
          if (p) {
            entries.push({ oi, ai, p });
            ai++;
            oi++;
            continue;
          }
          ok = false;
        } else ok = false;
      }
      if (!ok) {
        const c = choices.pop();
        if (!c || ++steps > 1000) return null;
        entries.length = c.len;
        ai = c.ai;
        oi = c.oi;
        literal = true;
      }
    }
  }

  alignObject(o, a, proj) {
    const n = o.keys.length;
    const m = a.keys.length;
    if (m >= 1 && a.keys[m - 1] === ELLIPSIS_KEY) {
      const c = keysMarkerCount(a.vals[m - 1]);
      if (c > 0 && c === n - (m - 1)) {
        const r = this.subsequence(o, a, m - 1, proj);
        if (r) {
          const mode = m === 1 ? 'collapsed' : 'trimmed';
          return { k: 'obj', o, a, mode, entries: r.entries, dropped: r.dropped, marker: m - 1 };
        }
      }
    }
    if (m === n) {
      const entries = [];
      let same = true;
      for (let i = 0; i < n; i++) {
        if (o.keys[i] !== a.keys[i]) break;
        const p = this.align(o.vals[i], a.vals[i], proj);
        if (!p) break;
        if (p !== SAME) same = false;
        entries.push({ oi: i, ai: i, p });
      }
      if (entries.length === n) {
        return same ? SAME : { k: 'obj', o, a, mode: 'kept', entries, dropped: [], marker: -1 };
      }
    }
    if (proj && m < n) {
      const r = this.subsequence(o, a, m, proj);
      if (r) return { k: 'obj', o, a, mode: 'projected', entries: r.entries, dropped: r.dropped, marker: -1 };
    }
    return null;
  }

  // The first `count` answer members as a subsequence of the original's.
  subsequence(o, a, count, proj) {
    const entries = [];
    const dropped = [];
    let oi = 0;
    for (let ai = 0; ai < count; ai++) {
      const key = a.keys[ai];
      let found = false;
      for (; oi < o.keys.length; oi++) {
        if (o.keys[oi] === key) {
          const p = this.align(o.vals[oi], a.vals[ai], proj);
          if (p) {
            entries.push({ oi, ai, p });
            oi++;
            found = true;
            break;
          }
        }
        dropped.push(oi);
      }
      if (!found) return null;
    }
    for (; oi < o.keys.length; oi++) dropped.push(oi);
    return { entries, dropped };
  }
}

/**
 * Aligns an answer tree with its original tree (both from parseJson).
 * options: the request's options (array_strategy matters). Never throws on
 * a mismatch: what no operation explains becomes an 'odd' pair.
 */
export function align(original, answer, options = {}) {
  const aligner = new Aligner(options);
  return aligner.align(original, answer, false) ?? { k: 'odd', o: original, a: answer };
}

/**
 * What the alignment says was cut, in the report's terms:
 * itemsDropped (items_omitted), keysDropped (keys_omitted),
 * stringsShortened (strings_truncated); also fieldsDropped (members of
 * condensed records), collapsed containers, condensed arrays and odd pairs.
 */
export function countCuts(pair) {
  const c = {
    itemsDropped: 0,
    keysDropped: 0,
    stringsShortened: 0,
    fieldsDropped: 0,
    containersCollapsed: 0,
    arraysCondensed: 0,
    unexplained: 0,
  };
  const stack = [pair];
  while (stack.length) {
    const p = stack.pop();
    switch (p.k) {
      case 'str':
        c.stringsShortened++;
        break;
      case 'odd':
        c.unexplained++;
        break;
      case 'arr':
        if (p.mode === 'collapsed') c.containersCollapsed++;
        if (p.mode === 'condensed') c.arraysCondensed++;
        for (const e of p.entries) {
          if (e.gap) c.itemsDropped += e.gap;
          else if (e.p !== SAME) stack.push(e.p);
        }
        break;
      case 'obj':
        if (p.mode === 'collapsed') c.containersCollapsed++;
        if (p.mode === 'projected') c.fieldsDropped += p.dropped.length;
        else c.keysDropped += p.dropped.length;
        for (const e of p.entries) if (e.p !== SAME) stack.push(e.p);
        break;
      default:
    }
  }
  return c;
}
