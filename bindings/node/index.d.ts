export interface FieldDecision { path: string; score: number; kept: boolean; relevance: number; }
export interface DroppedField { path: string; items: number; }
export interface Report {
  input_chars: number; output_chars: number; max_chars: number; format: 'json' | 'yaml'; input_format: 'json' | 'yaml';
  pruned: boolean; fits: boolean; strings_truncated: number; arrays_sampled: number; items_omitted: number;
  objects_trimmed: number; keys_omitted: number; containers_collapsed: number; arrays_condensed: number;
  protected_omitted: number; field_decisions: FieldDecision[]; fields_dropped: number; dropped_fields: DroppedField[];
}
export interface ShrinkOptions {
  maxChars?: number; indent?: number; format?: 'auto' | 'json' | 'yaml'; inputFormat?: 'auto' | 'json' | 'yaml';
  arrayStrategy?: 'sample' | 'condense'; protect?: string | string[]; query?: string; arguments?: unknown;
  fieldScorer?: 'heuristic' | 'compact' | 'key_order'; explain?: boolean; keepLastItem?: boolean; maxSamples?: number;
  minPartialChars?: number; stringHeadChars?: number; stringSectionChars?: number; stringMinSectionChars?: number;
  library?: string;
}
export class TersoliteError extends Error {}
export function shrink(doc: string | Buffer | unknown, options?: ShrinkOptions): { text: string; report: Report };
export function load(path?: string): unknown;
export function version(): string;
