// Prints what mdb-reader sees in a database, one line per fact, so that a test can compare
// it with what it wrote:  T <table> / C <name> <type> <size> / R / V <value as JSON>.
// Doubles and singles are printed as the hex of their IEEE bits, dates as milliseconds since
// 1970, binary as hex: nothing is lost in formatting.
import fs from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [file, oracleDir, ...only] = process.argv.slice(2);
const lib = path.join(oracleDir, "node_modules", "mdb-reader", "lib", "node", "index.js");
const { default: MDBReader } = await import(pathToFileURL(lib).href);

const reader = new MDBReader(fs.readFileSync(file));
const out = [];
const names = reader.getTableNames();
out.push("TABLES " + JSON.stringify(names));
for (const name of only.length ? only : names) {
  const table = reader.getTable(name);
  out.push("T " + name + " " + table.rowCount);
  const columns = table.getColumns();
  for (const c of columns) out.push(`C ${c.name} ${c.type} ${c.size}`);
  for (const row of table.getData()) {
    out.push("R");
    for (const c of columns) {
      const v = row[c.name];
      let s;
      if (v === null || v === undefined) s = "null";
      else if (v instanceof Date) s = "date " + v.getTime();
      else if (Buffer.isBuffer(v)) s = "bytes " + v.toString("hex");
      else if (typeof v === "number" && (c.type === "double" || c.type === "float")) {
        const b = Buffer.alloc(8);
        b.writeDoubleLE(v);
        s = "real " + b.toString("hex");
      } else s = JSON.stringify(v);
      out.push("V " + s);
    }
  }
}
process.stdout.write(out.join("\n") + "\n");
