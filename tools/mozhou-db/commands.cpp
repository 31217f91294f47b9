#include "commands.h"

#include <exception>
#include <istream>
#include <memory>
#include <ostream>
#include <string_view>

#include "bank_tables.h"
#include "first_run.h"
#include "jet/check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/json.h"
#include "sql/jet_source.h"
#include "sql/sql.h"

namespace fs = std::filesystem;

namespace mozhou_db {

namespace {

const char* const kUsageText =
    "usage: mozhou-db COMMAND ARGUMENTS\n"
    "\n"
    "  tables FILE             the user tables, one name per line\n"
    "  schema FILE [TABLE]     the columns of every table (or of one), in order, with their\n"
    "                          kinds and sizes\n"
    "  export FILE TABLE       the rows of a table, one JSON array per line\n"
    "  query FILE 'SQL'        the rows of a Select, one JSON array per line\n"
    "  create-bank FILE [--sample | --sample-file JSONL] [FORMAT] [--force]\n"
    "                          a new question bank (tiku, chengji, back); --sample fills tiku\n"
    "                          with the sample questions the program starts with\n"
    "  create-template FILE [FORMAT] [--force]\n"
    "                          a new export template (an empty tiku)\n"
    "  convert SRC DST [FORMAT] [--force]\n"
    "                          copies every table of SRC, rows in order, into a new file DST\n"
    "                          of the format given\n"
    "  append FILE TABLE       rows from standard input, one JSON array per line in the\n"
    "                          export format, all in one transaction\n"
    "  check FILE              visits every page, row and long value; exit 2 on any problem\n"
    "  --help                  this text\n"
    "  --version               the version\n"
    "\n"
    "FORMAT is --format jet4 (Access 2000 and later; the default) or --format jet3 (Access 97),\n"
    "with --code-page N for the text of a Jet 3 file (default 936, Simplified Chinese).\n"
    "An existing FILE or DST is replaced only with --force.\n"
    "Exit status: 0 success, 1 usage error, 2 file or SQL error.\n";

struct UsageError {
    std::string message;
};

// Rows are gathered into large blocks so that the stream sees few writes.
class Output {
  public:
    explicit Output(std::ostream& out) : out_(out) { buffer_.reserve(kBlock + 4096); }
    ~Output() { flush(); }
    std::string& buffer() { return buffer_; }
    void rowDone() {
        if (buffer_.size() >= kBlock) flush();
    }
    void flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kBlock = 1 << 16;
    std::ostream& out_;
    std::string buffer_;
};

void appendRow(std::string& line, const std::vector<jet::Value>& values,
               const std::vector<jet::ColumnType>& types) {
    line += '[';
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (i) line += ',';
        jet::appendJson(line, values[i], types[i]);
    }
    line += "]\n";
}

// A row as stored, its columns `order` (by position) written as a JSON array: Jet 4 text goes
// from its stored bytes into the line, with no decoded copy in between.
struct StoredRowWriter {
    std::vector<jet::ColumnType> types;  // by position
    std::vector<std::size_t> order;
    bool jet4 = false;
    jet::Value value;
    jet::Bytes gathered;

    void append(std::string& line, const jet::StoredRow& row) {
        line += '[';
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (k) line += ',';
            const std::size_t i = order[k];
            if (jet4 && (types[i] == jet::ColumnType::Text || types[i] == jet::ColumnType::Memo)) {
                if (auto bytes = row.text(i, gathered)) {
                    jet::appendJsonJet4Text(line, *bytes);
                    continue;
                }
            }
            row.decode(i, value);
            jet::appendJson(line, value, types[i]);
        }
        line += "]\n";
    }
};

// Opens the file and passes on what the open put right (a journal set aside).
std::shared_ptr<jet::Database> openFile(const std::string& file, Streams io,
                                        jet::PageFile::Mode mode = jet::PageFile::Mode::ReadOnly) {
    auto db = jet::Database::open(file, mode);
    for (const auto& notice : db->notices()) io.err << "note: " << notice << "\n";
    return db;
}

void expectCount(const std::vector<std::string>& a, std::size_t least, std::size_t most) {
    const std::size_t n = a.size() - 1;
    if (n < least) throw UsageError{a[0] + ": too few arguments"};
    if (n > most) throw UsageError{a[0] + ": too many arguments"};
}

int tables(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 1, 1);
    auto db = openFile(a[1], io);
    Output out(io.out);
    for (const auto& name : db->tableNames()) out.buffer() += name + "\n";
    return kOk;
}

std::string kindText(const jet::Column& c, jet::Format format) {
    std::string k = jet::columnTypeName(c.type);
    switch (c.type) {
        case jet::ColumnType::Text:
            // Jet 4 keeps text as UTF-16, two bytes a character.
            if (format == jet::Format::Jet3)
                k += " (" + std::to_string(c.length) + " bytes)";
            else
                k += " (" + std::to_string(c.length / 2) + " characters)";
            break;
        case jet::ColumnType::Binary:
            k += " (" + std::to_string(c.length) + " bytes)";
            break;
        case jet::ColumnType::Numeric:
            k += " (precision " + std::to_string(c.precision) + ", scale " +
                 std::to_string(c.scale) + ")";
            break;
        case jet::ColumnType::Boolean:
        case jet::ColumnType::Memo:
        case jet::ColumnType::OLE:
            break;
        default: {
            const std::size_t n = jet::fixedSizeOf(c.type);
            k += " (" + std::to_string(n) + (n == 1 ? " byte)" : " bytes)");
        }
    }
    if (c.autoNumber()) k += ", autonumber";
    if (c.autoGuid()) k += ", automatic replication id";
    if (c.hyperlink()) k += ", hyperlink";
    return k;
}

void describe(std::string& out, const jet::TableDef& t, jet::Format format) {
    out += t.name + " (" + std::to_string(t.rowCount) + (t.rowCount == 1 ? " row)\n" : " rows)\n");
    std::size_t width = 0;
    for (const auto& c : t.columns) width = std::max(width, c.name.size());
    for (const auto& c : t.columns) {
        std::string pos = std::to_string(c.position);
        out += std::string(4 - std::min<std::size_t>(4, pos.size()), ' ') + pos + "  " + c.name +
               std::string(width - c.name.size() + 2, ' ') + kindText(c, format) + "\n";
    }
}

int schema(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 1, 2);
    auto db = openFile(a[1], io);
    Output out(io.out);
    if (a.size() == 3) {
        describe(out.buffer(), *db->table(a[2]), db->format());
        return kOk;
    }
    bool first = true;
    for (const auto& name : db->tableNames()) {
        if (!first) out.buffer() += '\n';
        first = false;
        describe(out.buffer(), *db->table(name), db->format());
    }
    return kOk;
}

int exportTable(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 2, 2);
    auto db = openFile(a[1], io);
    auto table = db->table(a[2]);
    std::vector<jet::ColumnType> types;
    for (const auto& c : table->columns) types.push_back(c.type);
    Output out(io.out);
    if (db->format() != jet::Format::Jet4) {
        // Code-page text is decoded first; the scan then skips a text stored as the row before.
        auto scan = db->scan(table);
        while (scan.next()) {
            appendRow(out.buffer(), scan.values(), types);
            out.rowDone();
        }
        return kOk;
    }
    StoredRowWriter writer{types, {}, true, {}, {}};
    for (std::size_t i = 0; i < types.size(); ++i) writer.order.push_back(i);
    auto scan = db->scanStored(table, std::vector<bool>(types.size(), true));
    while (scan.next()) {
        writer.append(out.buffer(), scan.stored());
        out.rowDone();
    }
    return kOk;
}

int query(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 2, 2);
    auto db = openFile(a[1], io);
    sql::JetSource source(db, false);
    // One read of the file for the whole query, rather than one for each row it looks up.
    jet::PageFile::Reading reading(db->pages());
    Output out(io.out);
    std::shared_ptr<const jet::TableDef> table;
    std::vector<bool> wanted;
    std::vector<jet::CellRef> cells;
    StoredRowWriter writer{{}, {}, db->format() == jet::Format::Jet4, {}, {}};
    // The rows found are read and printed one by one as the search finds them, while their
    // pages are at hand, not all held at once.
    const sql::FoundRow found = [&](const sql::Result& r, std::uint64_t id) {
        if (!table) {
            table = db->table(r.table);
            for (const auto& c : table->columns) writer.types.push_back(c.type);
            writer.order = r.projection;
            wanted.assign(writer.types.size(), false);
            for (auto i : r.projection) wanted[i] = true;
        }
        writer.append(out.buffer(), db->readStoredRow(*table, sql::unpackRowId(id), wanted, cells));
        out.rowDone();
    };
    const sql::Result result = sql::execute(source, a[2], sql::Options{false}, found);
    if (result.grouped) {
        std::vector<jet::ColumnType> types;
        for (const auto& c : result.columns) types.push_back(c.type);
        for (const auto& r : result.rows) {
            appendRow(out.buffer(), r, types);
            out.rowDone();
        }
    }
    return kOk;
}

struct CreateArgs {
    std::vector<std::string> files;
    bool force = false;
    bool sample = false;
    fs::path sampleFile;
    jet::CreateOptions options;
    bool codePageGiven = false;
};

// Chinese banks are what Jet 3 files are made for here.
constexpr std::uint16_t kJet3CodePage = 936;

std::string optionValue(const std::vector<std::string>& a, std::size_t& i) {
    if (++i == a.size()) throw UsageError{a[0] + ": " + a[i - 1] + " needs a value"};
    return a[i];
}

CreateArgs createArgs(const std::vector<std::string>& a, bool sampleOptions, std::size_t files) {
    CreateArgs c;
    for (std::size_t i = 1; i < a.size(); ++i) {
        const std::string& s = a[i];
        if (s == "--force") {
            c.force = true;
        } else if (s == "--format") {
            const std::string f = optionValue(a, i);
            if (f == "jet3")
                c.options.format = jet::Format::Jet3;
            else if (f == "jet4")
                c.options.format = jet::Format::Jet4;
            else
                throw UsageError{a[0] + ": --format takes jet3 or jet4, not " + f};
        } else if (s == "--code-page") {
            const std::string n = optionValue(a, i);
            int value = 0;
            try {
                std::size_t used = 0;
                value = std::stoi(n, &used);
                if (used != n.size()) value = 0;
            } catch (const std::exception&) {
            }
            if (value <= 0 || value > 65535)
                throw UsageError{a[0] + ": --code-page takes a number such as 936, not " + n};
            c.options.codePage = static_cast<std::uint16_t>(value);
            c.codePageGiven = true;
        } else if (sampleOptions && s == "--sample") {
            c.sample = true;
        } else if (sampleOptions && s == "--sample-file") {
            if (++i == a.size()) throw UsageError{a[0] + ": --sample-file needs a file name"};
            c.sample = true;
            c.sampleFile = a[i];
        } else if (s.size() > 1 && s[0] == '-') {
            throw UsageError{a[0] + ": unknown option " + s};
        } else if (c.files.size() < files) {
            c.files.push_back(s);
        } else {
            throw UsageError{a[0] + ": too many arguments"};
        }
    }
    if (c.files.size() < files) throw UsageError{a[0] + ": too few arguments"};
    if (c.codePageGiven && c.options.format != jet::Format::Jet3)
        throw UsageError{a[0] + ": --code-page is for Jet 3 files (--format jet3)"};
    if (c.options.format == jet::Format::Jet3 && !c.codePageGiven)
        c.options.codePage = kJet3CodePage;
    return c;
}

void create(const CreateArgs& c, const std::vector<jet::TableSpec>& tables) {
    if (c.force)
        jet::createDatabase(c.files[0], tables, c.options);
    else
        bank::createNew(c.files[0], tables, c.options);
}

int createBank(const std::vector<std::string>& a, const fs::path& programDir) {
    CreateArgs c = createArgs(a, true, 1);
    std::vector<bank::Row> rows;
    if (c.sample)
        rows = bank::loadSample(c.sampleFile.empty() ? programDir / "sample_bank.jsonl"
                                                     : c.sampleFile);
    create(c, bank::bankTables(std::move(rows)));
    return kOk;
}

int createTemplate(const std::vector<std::string>& a) {
    CreateArgs c = createArgs(a, false, 1);
    create(c, {bank::tikuSpec()});
    return kOk;
}

int convert(const std::vector<std::string>& a) {
    CreateArgs c = createArgs(a, false, 2);
    const fs::path target = c.files[1];
    if (c.force) {
        jet::convertDatabase(c.files[0], target, c.options);
        return kOk;
    }
    bank::writeNew(
        target, [&](const fs::path& temp) { jet::convertDatabase(c.files[0], temp, c.options); });
    return kOk;
}

int append(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 2, 2);
    auto db = openFile(a[1], io, jet::PageFile::Mode::ReadWrite);
    auto table = db->table(a[2]);
    std::vector<jet::ColumnType> types;
    std::vector<std::string> names;
    for (const auto& c : table->columns) {
        types.push_back(c.type);
        names.push_back(c.name);
    }
    // Every line is read before the file is touched, so that a bad line changes nothing.
    std::vector<std::vector<jet::Value>> rows;
    std::vector<std::size_t> lineOf;
    std::string line;
    for (std::size_t number = 1; std::getline(io.in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            rows.push_back(jet::fromJson(line, types, names));
        } catch (const jet::Error& e) {
            throw jet::Error("standard input, line " + std::to_string(number) + ": " + e.what());
        }
        lineOf.push_back(number);
    }
    if (io.in.bad()) throw jet::Error("cannot read standard input");
    db->beginTransaction();
    std::size_t r = 0;
    try {
        for (; r < rows.size(); ++r) db->insertRow(table->name, rows[r]);
        db->commitTransaction();
    } catch (const std::exception& e) {
        std::string message = e.what();
        try {
            if (db->inTransaction()) db->rollbackTransaction();
        } catch (const std::exception& again) {
            message += "; undoing the rows before it failed too: " + std::string(again.what());
        }
        if (r < rows.size())
            message = "standard input, line " + std::to_string(lineOf[r]) + ": " + message +
                      "; no row was appended";
        throw jet::Error(message);
    }
    io.out << rows.size() << (rows.size() == 1 ? " row" : " rows") << " appended to " << table->name
           << "\n";
    return kOk;
}

int check(const std::vector<std::string>& a, Streams io) {
    expectCount(a, 1, 1);
    const auto problems = jet::checkDatabase(a[1]);
    Output out(io.out);
    for (const auto& p : problems) out.buffer() += p + "\n";
    if (problems.empty()) {
        out.buffer() += a[1] + ": no problems found\n";
        return kOk;
    }
    out.flush();
    io.err << "mozhou-db: " << a[1] << ": " << problems.size()
           << (problems.size() == 1 ? " problem" : " problems") << " found\n";
    return kFailed;
}

int dispatch(const std::vector<std::string>& a, const fs::path& programDir, Streams io) {
    const std::string& command = a[0];
    if (command == "tables") return tables(a, io);
    if (command == "schema") return schema(a, io);
    if (command == "export") return exportTable(a, io);
    if (command == "query") return query(a, io);
    if (command == "create-bank") return createBank(a, programDir);
    if (command == "create-template") return createTemplate(a);
    if (command == "convert") return convert(a);
    if (command == "append") return append(a, io);
    if (command == "check") return check(a, io);
    throw UsageError{"unknown command " + command};
}

}  // namespace

int run(const std::vector<std::string>& args, const fs::path& programDir, Streams io) {
    if (args.empty()) {
        io.err << kUsageText;
        return kUsage;
    }
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            io.out << kUsageText;
            return kOk;
        }
    if (args[0] == "--version") {
        io.out << "mozhou-db " MOZHOU_VERSION "\n";
        return kOk;
    }
    try {
        return dispatch(args, programDir, io);
    } catch (const UsageError& e) {
        io.err << "mozhou-db: " << e.message << "\n(mozhou-db --help lists the commands)\n";
        return kUsage;
    } catch (const std::exception& e) {
        io.err << "mozhou-db: " << e.what() << "\n";
        return kFailed;
    }
}

}  // namespace mozhou_db
