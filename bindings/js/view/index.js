// The side-by-side view of an original document and tersolite's answer.
export { renderView, readAnswer, compileProtect, matchesProtect } from './render.js';
export { align, countCuts, gapCount, SAME } from './align.js';
export { parseJson, readJson, writeJson, JsonSyntaxError } from './json.js';
export { parseTersoliteYaml } from './yaml.js';
