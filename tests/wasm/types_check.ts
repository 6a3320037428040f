// Compiles against the package's types (deno check): the calls a host
// makes type-check, and misuse does not.
import {
  closeWorker, init, shrink, shrinkAsync, shrinkEnvelope, shrinkEnvelopeAsync, type ShrinkOptions,
  type ShrinkResult, TersoliteError, version,
} from 'tersolite';

await init();
await init(new Uint8Array(0));
await init(new URL('https://example.com/tersolite.wasm'));
await init(fetch('https://example.com/tersolite.wasm'));
const options: ShrinkOptions = { maxChars: 100, array_strategy: 'condense', query: 'q', protect: ['/*/id'] };
const result: ShrinkResult = shrink({ a: 1 }, options);
const fits: boolean = result.report.fits;
const envelope: string = shrinkEnvelope(new Uint8Array([91, 93]), '{}');
const later: Promise<ShrinkResult> = shrinkAsync('[]', null);
const laterEnvelope: Promise<string> = shrinkEnvelopeAsync('[]');
const text: string = version();
const error: Error = new TersoliteError('x');
closeWorker();

// @ts-expect-error: not a strategy
shrink('[]', { arrayStrategy: 'all' });
// @ts-expect-error: max_chars is a number
shrink('[]', { max_chars: '5' });
// @ts-expect-error: the report has no such member
result.report.no_such_member;

export { envelope, error, fits, later, laterEnvelope, text };
