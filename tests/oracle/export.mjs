// An independent view of a Jet file for the engine's tests, through mdb-reader.
//   node export.mjs tables FILE          one user table name per line, in catalog order
//   node export.mjs columns FILE TABLE   one line per column: name, tab, kind
//   node export.mjs rows FILE TABLE      one JSON array per row, columns in table order, in the
//                                       engine's export format
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [mode, file, table] = process.argv.slice(2);
if (!mode || !file || (mode !== "tables" && !table)) {
    process.stderr.write("usage: node export.mjs tables|columns|rows FILE [TABLE]\n");
    process.exit(2);
}

const pad = (n, w = 2) => String(n).padStart(w, "0");

function dateText(date) {
    // Rounded to the second, as the engine prints it.
    const d = new Date(Math.round(date.getTime() / 1000) * 1000);
    return `${pad(d.getUTCFullYear(), 4)}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())} ` +
        `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}:${pad(d.getUTCSeconds())}`;
}

function valueJson(value, type) {
    if (value === null || value === undefined) return "null";
    switch (type) {
        case "boolean":
            return value ? "true" : "false";
        case "byte":
        case "integer":
        case "long":
            return String(value);
        case "float":
        case "double":
            // Full double precision; the test compares numbers by value.
            return Number.isFinite(value) ? JSON.stringify(value) : "null";
        case "currency":
        case "numeric":
            return JSON.stringify(String(value));
        case "datetime":
            return JSON.stringify(dateText(value));
        case "binary":
        case "ole":
            return JSON.stringify(Buffer.from(value).toString("hex"));
        case "repid":
            return JSON.stringify("{" + String(value).toUpperCase() + "}");
        default:
            return JSON.stringify(value);
    }
}

const reader = new MDBReader(readFileSync(file));
if (mode === "tables") {
    for (const name of reader.getTableNames()) process.stdout.write(name + "\n");
} else {
    const t = reader.getTable(table);
    const columns = t.getColumns();
    if (mode === "columns") {
        for (const c of columns) process.stdout.write(`${c.name}\t${c.type}\n`);
    } else {
        const out = [];
        for (const row of t.getData()) {
            out.push("[" + columns.map((c) => valueJson(row[c.name], c.type)).join(",") + "]");
        }
        process.stdout.write(out.join("\n") + (out.length ? "\n" : ""));
    }
}
