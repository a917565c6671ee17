// Runs an ONNX model on rows of numbers: node run_model.js MODEL ROWS
// ROWS holds one input row per line, numbers separated by blanks. Prints the output's type and
// dimensions, then one line per output row with every number in its shortest exact form.
'use strict';
const fs = require('fs');
const ort = require('onnxruntime-node');

async function main() {
    const [model, rowsFile] = process.argv.slice(2);
    const rows = fs.readFileSync(rowsFile, 'utf8').trim().split('\n').map((l) => l.trim().split(/\s+/).map(Number));
    const session = await ort.InferenceSession.create(model);
    const input = new ort.Tensor('float64', Float64Array.from(rows.flat()), [rows.length, rows[0].length]);
    const out = (await session.run({ inputs: input })).outputs;
    console.log([out.type, ...out.dims].join(' '));
    const m = out.dims[1];
    for (let r = 0; r < out.dims[0]; ++r)
        console.log(Array.from(out.data.slice(r * m, (r + 1) * m), String).join(' '));
}

main().catch((e) => {
    console.error(e.message);
    process.exit(1);
});
