// Runs an ONNX model on records: node run_model.js MODEL RECORDS
// RECORDS holds a line naming each column's model input (several columns of "inputs" form its
// float64 matrix, any other input takes strings), then one record per line, tab-separated. Prints
// one line per record: every output's values in the model's order, tab-separated, numbers in their
// shortest exact form.
'use strict';
const fs = require('fs');
const ort = require('onnxruntime-node');

async function main() {
    const [model, recordsFile] = process.argv.slice(2);
    const [names, ...records] = fs.readFileSync(recordsFile, 'utf8').replace(/\n$/, '').split('\n').map((l) => l.split('\t'));
    const feeds = {};
    for (const name of new Set(names)) {
        const columns = names.flatMap((n, k) => (n === name ? [k] : []));
        const values = records.flatMap((r) => columns.map((k) => r[k]));
        const dims = [records.length, columns.length];
        feeds[name] = name === 'inputs' ? new ort.Tensor('float64', Float64Array.from(values, Number), dims) :
                                          new ort.Tensor('string', values, dims);
    }
    const session = await ort.InferenceSession.create(model);
    const results = await session.run(feeds);
    for (let r = 0; r < records.length; ++r)
        console.log(session.outputNames.flatMap((name) => {
            const t = results[name], width = t.data.length / records.length;
            return Array.from(t.data.slice(r * width, (r + 1) * width), String);
        }).join('\t'));
}

main().catch((e) => {
    console.error(e.message);
    process.exit(1);
});
