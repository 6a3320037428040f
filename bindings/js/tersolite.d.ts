/** Where the WebAssembly module comes from; nothing means "beside tersolite.js". */
export type WasmSource =
  | BufferSource
  | URL
  | string
  | Response
  | PromiseLike<Response>
  | WebAssembly.Module;

/** Text, or its UTF-8 bytes. */
export type TextOrBytes = string | Uint8Array | ArrayBuffer | ArrayBufferView;

export interface FieldDecision {
  path: string;
  score: number;
  kept: boolean;
  relevance: number;
}

export interface DroppedField {
  path: string;
  items: number;
}

export interface Report {
  input_chars: number;
  output_chars: number;
  max_chars: number;
  format: 'json' | 'yaml';
  input_format: 'json' | 'yaml';
  pruned: boolean;
  fits: boolean;
  strings_truncated: number;
  arrays_sampled: number;
  items_omitted: number;
  objects_trimmed: number;
  keys_omitted: number;
  containers_collapsed: number;
  arrays_condensed: number;
  protected_omitted: number;
  field_decisions: FieldDecision[];
  fields_dropped: number;
  dropped_fields: DroppedField[];
}

export type FormatName = 'auto' | 'json' | 'yaml' | 'yml';
export type ArrayStrategy = 'sample' | 'condense';
export type FieldScorer = 'heuristic' | 'compact' | 'key_order' | 'keyorder';

/** The options, each either in camelCase or as the library writes it. */
export interface ShrinkOptions {
  maxChars?: number;
  max_chars?: number;
  indent?: number;
  format?: FormatName;
  inputFormat?: FormatName;
  input_format?: FormatName;
  arrayStrategy?: ArrayStrategy;
  array_strategy?: ArrayStrategy;
  fieldScorer?: FieldScorer;
  field_scorer?: FieldScorer;
  protect?: string | string[];
  /** Shorthand for `arguments: {query}`. */
  query?: string;
  /** The arguments of the call whose result is shrunk; they steer what is kept. */
  arguments?: unknown;
  explain?: boolean;
  keepLastItem?: boolean;
  keep_last_item?: boolean;
  maxSamples?: number;
  max_samples?: number;
  minPartialChars?: number;
  min_partial_chars?: number;
  stringHeadChars?: number;
  string_head_chars?: number;
  stringSectionChars?: number;
  string_section_chars?: number;
  stringMinSectionChars?: number;
  string_min_section_chars?: number;
}

export interface ShrinkResult {
  /** The shrunk document as written (JSON without a final line break, YAML with one). */
  text: string;
  report: Report;
}

/** A string, bytes (the document's UTF-8 text), or any JSON-serialisable value. */
export type Document = string | Uint8Array | ArrayBuffer | ArrayBufferView | unknown;

/** The library's error message, from its error envelope. */
export class TersoliteError extends Error {
  name: 'TersoliteError';
}

/** Loads the module; call (and await) once before the synchronous functions. */
export function init(source?: WasmSource): Promise<void>;

/** Shrinks `doc`; throws TersoliteError on bad input or options. */
export function shrink(doc: Document, options?: ShrinkOptions | null): ShrinkResult;

/**
 * The envelope text exactly as the library writes it. Text and bytes are
 * handed over unchanged (invalid UTF-8 gives the library's error envelope).
 */
export function shrinkEnvelope(input: TextOrBytes, options?: TextOrBytes | ShrinkOptions | null): string;

/** As shrink(), in a worker, so that a large document does not block the calling thread. */
export function shrinkAsync(doc: Document, options?: ShrinkOptions | null): Promise<ShrinkResult>;

/** As shrinkEnvelope(), in a worker. */
export function shrinkEnvelopeAsync(input: TextOrBytes, options?: TextOrBytes | ShrinkOptions | null): Promise<string>;

/** Stops the worker of the async functions, if one was started. */
export function closeWorker(): void;

/** The library's version. */
export function version(): string;
