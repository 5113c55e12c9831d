// Runs the Khronos glTF-Validator (npm package gltf-validator) on GLB files:
//   node validate_gltf.js MODULES_DIR FILE.glb...
// MODULES_DIR is the node_modules folder that holds gltf-validator. Prints
// every error and warning (and the count of infos and hints) per file; exit
// status 0 when no file has an error or a warning, 1 otherwise, 2 for a
// missing validator or file.
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, ...files] = process.argv.slice(2);
if (!modules || files.length === 0) {
    console.error('usage: node validate_gltf.js MODULES_DIR FILE.glb...');
    process.exit(2);
}
let validator;
try {
    validator = require(path.resolve(modules, 'gltf-validator'));
} catch (e) {
    console.error(`ERROR: no gltf-validator under ${modules}: ${e.message}`);
    process.exit(2);
}

const severities = ['error', 'warning', 'info', 'hint'];

async function main() {
    let failed = false;
    for (const file of files) {
        let bytes;
        try {
            bytes = new Uint8Array(fs.readFileSync(file));
        } catch (e) {
            console.error(`ERROR: cannot read ${file}: ${e.message}`);
            process.exit(2);
        }
        // No external resources: a GLB of DOR holds everything itself.
        const report = await validator.validateBytes(bytes, {
            uri: path.basename(file),
            format: 'glb',
            maxIssues: 0,
            externalResourceFunction: (uri) => Promise.reject(new Error(`external resource ${uri}`)),
        });
        const issues = report.issues;
        for (const m of issues.messages)
            if (m.severity <= 1)
                console.log(`${file}: ${severities[m.severity]} ${m.code} at ${m.pointer || '-'}: ${m.message}`);
        console.log(`${file}: validator ${report.validatorVersion}: ${issues.numErrors} errors, ` +
                    `${issues.numWarnings} warnings, ${issues.numInfos} infos, ${issues.numHints} hints`);
        if (issues.numErrors > 0 || issues.numWarnings > 0 || issues.truncated)
            failed = true;
    }
    process.exit(failed ? 1 : 0);
}

main().catch((e) => {
    console.error(`ERROR: ${e.stack || e}`);
    process.exit(2);
});
