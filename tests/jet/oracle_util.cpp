#include "oracle_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <stdexcept>

#include "jet/json.h"

namespace jet_test {

CommandResult run(const std::string& command) {
    CommandResult r;
    std::string full = command + " 2>/dev/null";
    FILE* p = ::popen(full.c_str(), "r");
    if (!p) return r;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

bool haveProgram(const std::string& name) {
    return run("command -v " + shellQuote(name)).status == 0;
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<std::string> split(const std::string& s, const std::string& sep) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at - start));  // to the end when `at` is npos
        if (at == std::string::npos) return parts;
        start = at + sep.size();
    }
}

std::vector<std::string> splitLines(const std::string& s) {
    auto lines = split(s, "\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

namespace {

bool isFloat(jet::ColumnType t) {
    return t == jet::ColumnType::Single || t == jet::ColumnType::Double;
}

std::string canonicalNumber(const std::string& text) {
    char* end = nullptr;
    double d = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return "not a number: " + text;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

}  // namespace

std::vector<std::string> canonicalJsonRow(const std::string& line,
                                          const std::vector<jet::ColumnType>& types) {
    std::vector<std::string> cells;
    std::size_t i = 0;
    if (line.empty() || line[0] != '[') throw std::runtime_error("not a JSON array: " + line);
    ++i;
    while (i < line.size() && line[i] != ']') {
        std::size_t start = i;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
            ++i;
        } else {
            while (i < line.size() && line[i] != ',' && line[i] != ']') ++i;
        }
        std::string cell = line.substr(start, i - start);
        std::size_t col = cells.size();
        if (col < types.size() && isFloat(types[col]) && cell != "null")
            cell = canonicalNumber(cell);
        cells.push_back(cell);
        if (i < line.size() && line[i] == ',') ++i;
    }
    return cells;
}

std::vector<std::string> canonicalOurRow(const std::vector<jet::Value>& row,
                                         const std::vector<jet::ColumnType>& types) {
    std::string line = "[";
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i) line += ',';
        jet::appendJson(line, row[i], types[i]);
    }
    line += ']';
    return canonicalJsonRow(line, types);
}

std::string mdbtoolsText(const jet::Value& v, jet::ColumnType type) {
    char buf[64];
    if (jet::isNull(v)) return kMdbNull;
    if (auto* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        if (type == jet::ColumnType::Single)
            std::snprintf(buf, sizeof buf, "%.8g", static_cast<double>(static_cast<float>(*d)));
        else
            std::snprintf(buf, sizeof buf, "%.16g", *d);
        return buf;
    }
    if (auto* c = std::get_if<jet::Currency>(&v)) return jet::currencyText(*c);
    if (auto* t = std::get_if<jet::DateTime>(&v)) return jet::dateTimeText(t->days).value_or("?");
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    if (auto* by = std::get_if<jet::Bytes>(&v)) {
        std::string h;
        for (auto c : *by) {
            std::snprintf(buf, sizeof buf, "%02X", c);
            h += buf;
        }
        return h;
    }
    if (auto* dec = std::get_if<jet::Decimal>(&v)) return jet::decimalText(*dec);
    if (auto* g = std::get_if<jet::Guid>(&v)) return jet::guidText(*g);
    return "?";
}

std::vector<std::vector<std::string>> mdbExportRows(const std::filesystem::path& file,
                                                    const std::string& table) {
    auto out = run("mdb-export -H -Q -d '<<COL>>' -R '<<ROW>>\\n' -0 '" + std::string(kMdbNull) +
                   "' -T '%Y-%m-%d %H:%M:%S' -b hex " + shellQuote(file.string()) + " " +
                   shellQuote(table));
    EXPECT_EQ(out.status, 0) << "mdb-export could not read " << file;
    auto lines = split(out.out, "<<ROW>>\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::vector<std::vector<std::string>> rows;
    for (const auto& l : lines) rows.push_back(split(l, "<<COL>>"));
    return rows;
}

::testing::AssertionResult sameAsMdbExport(const std::filesystem::path& file,
                                           const std::string& table,
                                           const std::vector<std::vector<jet::Value>>& rows,
                                           const std::vector<jet::ColumnType>& types) {
    auto theirs = mdbExportRows(file, table);
    std::vector<std::vector<std::string>> ours;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        ours.emplace_back();
        for (std::size_t c = 0; c < types.size(); ++c) {
            std::string mine = mdbtoolsText(rows[r][c], types[c]);
            if (types[c] == jet::ColumnType::Binary)
                for (std::size_t i = 0; i < mine.size(); i += 2)
                    if (mine.compare(i, 2, "00") == 0) mine.resize(i);
            if (mine.empty() && types[c] != jet::ColumnType::OLE) mine = kMdbNull;
            for (std::size_t i;
                 (i = mine.find_first_of("\xF0\xF1\xF2\xF3\xF4")) != std::string::npos;)
                mine.replace(i, 4, "??");
            auto* date = std::get_if<jet::DateTime>(&rows[r][c]);
            if (date && r < theirs.size() && c < theirs[r].size() &&
                (date->days < 0 || theirs[r][c].starts_with("1899-") ||
                 theirs[r][c].starts_with("1900-01-00")))
                theirs[r][c] = mine;
            ours.back().push_back(mine);
        }
    }
    return sameRows(ours, theirs);
}

namespace {

struct KindNames {
    jet::ColumnType type;
    const char* mdbtools;
    const char* mdbReader;
};
constexpr KindNames kKinds[] = {
    {jet::ColumnType::Boolean, "Boolean", "boolean"},
    {jet::ColumnType::Byte, "Byte", "byte"},
    {jet::ColumnType::Int16, "Integer", "integer"},
    {jet::ColumnType::Int32, "Long Integer", "long"},
    {jet::ColumnType::Currency, "Currency", "currency"},
    {jet::ColumnType::Single, "Single", "float"},
    {jet::ColumnType::Double, "Double", "double"},
    {jet::ColumnType::DateTime, "DateTime", "datetime"},
    {jet::ColumnType::Binary, "Binary", "binary"},
    {jet::ColumnType::Text, "Text", "text"},
    {jet::ColumnType::OLE, "OLE", "ole"},
    {jet::ColumnType::Memo, "Memo/Hyperlink", "memo"},
    {jet::ColumnType::Guid, "Replication ID", "repid"},
    {jet::ColumnType::Numeric, "Numeric", "numeric"},
};

const KindNames* kindOf(jet::ColumnType type) {
    for (const auto& k : kKinds)
        if (k.type == type) return &k;
    return nullptr;
}

}  // namespace

void expectKindsAgree(const std::filesystem::path& file, const jet::TableDef& def) {
    // Column name -> kind from `mdb-schema -T table file access`: "\t[name]\t\tText (50),".
    std::map<std::string, std::string> kinds;
    const auto schema =
        run("mdb-schema -T " + shellQuote(def.name) + " " + shellQuote(file.string()) + " access");
    for (const auto& line : splitLines(schema.out)) {
        const auto open = line.find('['), close = line.find(']');
        if (close == std::string::npos || line.rfind("\t[", 0) != 0) continue;
        std::string rest = line.substr(close + 1);
        rest.erase(0, rest.find_first_not_of('\t'));
        while (!rest.empty() && (rest.back() == ',' || rest.back() == ' ')) rest.pop_back();
        if (rest.ends_with(" NOT NULL")) rest.erase(rest.size() - 9);
        for (std::string nominal : {"Memo/Hyperlink", "OLE"})  // mdb-schema adds "(255)"
            if (rest == nominal + " (255)") rest = nominal;
        kinds[line.substr(open + 1, close - open - 1)] = rest;
    }
    const auto columns = splitLines(
        mdbReader("columns " + shellQuote(file.string()) + " " + shellQuote(def.name)).out);
    ASSERT_EQ(kinds.size(), def.columns.size()) << def.name;
    ASSERT_EQ(columns.size(), def.columns.size()) << def.name;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& c = def.columns[i];
        const KindNames* k = kindOf(c.type);
        std::string kind = k ? k->mdbtools : "?";
        if (c.type == jet::ColumnType::Text)
            kind += " (" +
                    std::to_string(def.format == jet::Format::Jet4 ? c.length / 2 : c.length) + ")";
        if (c.type == jet::ColumnType::Numeric)
            kind += " (" + std::to_string(c.precision) + ", " + std::to_string(c.scale) + ")";
        EXPECT_EQ(kinds[c.name], kind) << def.name << "." << c.name;
        EXPECT_EQ(columns[i], c.name + "\t" + (k ? k->mdbReader : "?"));
    }
}

CommandResult mdbReader(const std::string& args) {
    return run("node " + shellQuote(std::string(JET_ORACLE_DIR) + "/export.mjs") + " " + args);
}

std::vector<std::string> readerLines(const std::filesystem::path& file, const std::string& table) {
    auto r = mdbReader("rows " + shellQuote(file.string()) + " " + shellQuote(table));
    EXPECT_EQ(r.status, 0) << "mdb-reader could not read " << file;
    return splitLines(r.out);
}

namespace {

std::string shortText(const std::string& s) {
    return s.size() <= 80 ? s : s.substr(0, 80) + "...(" + std::to_string(s.size()) + " bytes)";
}

}  // namespace

::testing::AssertionResult sameRows(const std::vector<std::vector<std::string>>& a,
                                    const std::vector<std::vector<std::string>>& b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << a.size() << " rows against " << b.size();
    for (std::size_t r = 0; r < a.size(); ++r) {
        if (a[r].size() != b[r].size())
            return ::testing::AssertionFailure()
                   << "row " << r << ": " << a[r].size() << " cells against " << b[r].size();
        for (std::size_t c = 0; c < a[r].size(); ++c)
            if (a[r][c] != b[r][c])
                return ::testing::AssertionFailure()
                       << "row " << r << ", column " << c << ": \"" << shortText(a[r][c])
                       << "\" against \"" << shortText(b[r][c]) << "\"";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameLines(const std::vector<std::string>& a,
                                     const std::vector<std::string>& b) {
    std::vector<std::vector<std::string>> ra, rb;
    for (const auto& l : a) ra.push_back({l});
    for (const auto& l : b) rb.push_back({l});
    return sameRows(ra, rb);
}

std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

bool haveMdbReader() {
    return haveProgram("node") && std::filesystem::exists(std::filesystem::path(JET_ORACLE_DIR) /
                                                          "node_modules" / "mdb-reader");
}

std::vector<std::filesystem::path> corpusFiles(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".mdb") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string asMdbReaderSeesJet3(const std::vector<std::uint8_t>& bytes) {
    static const char16_t k80[32] = {u'€',   0xFFFD, u'‚', u'ƒ', u'„', u'…',   u'†', u'‡',
                                     u'ˆ',   u'‰',   u'Š', u'‹', u'Œ', 0xFFFD, u'Ž', 0xFFFD,
                                     0xFFFD, u'‘',   u'’', u'“', u'”', u'•',   u'–', u'—',
                                     u'˜',   u'™',   u'š', u'›', u'œ', 0xFFFD, u'ž', u'Ÿ'};
    std::string out;
    for (std::uint8_t b : bytes) {
        const char32_t c = b >= 0x80 && b < 0xA0 ? k80[b - 0x80] : b;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace jet_test
