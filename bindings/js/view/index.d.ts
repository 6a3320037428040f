// Types of the side-by-side view (tersolite/view).

/** A document node: numbers keep their literal text, objects their duplicate keys. */
export type ViewNode =
  | { t: 'o'; keys: string[]; vals: ViewNode[] }
  | { t: 'a'; items: ViewNode[] }
  | { t: 's'; v: string }
  | { t: 'n'; v: string }
  | { t: 'b'; v: boolean }
  | { t: 'z' };

export class JsonSyntaxError extends Error {}

/** Reads JSON exactly (every literal and duplicate key kept). */
export function parseJson(text: string): ViewNode;
/** As parseJson; faster on large texts, whose nodes are built on first use. */
export function readJson(text: string): ViewNode;
/** A node as compact JSON. */
export function writeJson(node: ViewNode): string;
/** Reads YAML as tersolite writes it, at the given indent width (at least 2). */
export function parseTersoliteYaml(text: string, indent?: number): ViewNode;

/** What the view counted as cut, in the report's terms. */
export interface CutCounts {
  itemsDropped: number; // items_omitted
  keysDropped: number; // keys_omitted
  stringsShortened: number; // strings_truncated
  fieldsDropped: number; // members left out of condensed records
  containersCollapsed: number;
  arraysCondensed: number;
  unexplained: number; // changes no marker accounts for (0 for every answer of the library)
}

export type Pair = { k: string; [key: string]: unknown };
export const SAME: Pair;
/** Aligns an answer with its original; options: the request's (array_strategy matters). */
export function align(original: ViewNode, answer: ViewNode, options?: object): Pair;
export function countCuts(pair: Pair): CutCounts;
/** The count of a gap marker item ("…[N items omitted]"), or 0. */
export function gapCount(node: ViewNode): number;

export interface ViewInput {
  /** The document as JSON text (a YAML document: as the library reads it, written as JSON), or a node. */
  original?: string | ViewNode;
  /** The library's envelope, as text or parsed. */
  envelope: string | { ok: boolean; text?: string; error?: string; report?: Record<string, unknown> };
  /** The request's options, as an object or JSON text. */
  options?: string | object;
  /** The answer as a node, when the caller has read it already. */
  answer?: ViewNode;
  /** A heading, such as the document's name. */
  title?: string;
}

/** Renders the view into `container`, replacing its content. */
export function renderView(
  container: Element,
  input: ViewInput,
): { counts: CutCounts | null; report: Record<string, unknown> | null; pair: Pair | null };
/** The answer of a success envelope as a node (JSON, or the library's YAML). */
export function readAnswer(envelope: ViewInput['envelope'], options?: object): ViewNode;

export interface ProtectPattern {
  segs: string[];
  anchored: boolean;
}
export function compileProtect(protect: string | string[] | undefined | null): ProtectPattern[];
export function matchesProtect(patterns: ProtectPattern[], path: string[]): boolean;
