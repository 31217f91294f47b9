#include "sql/sql.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "jet/text.h"

namespace sql {

ParseError::ParseError(std::size_t pos, const std::string& expected)
    : jet::Error("SQL: at character " + std::to_string(pos) + ": expected " + expected),
      position(pos) {}

namespace {

bool ieq(std::string_view a, std::string_view b) { return fold(a) == fold(b); }

struct Parser {
    std::string_view s;
    std::size_t p = 0;

    void ws() {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\r' || s[p] == '\n')) ++p;
    }
    static bool identChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    }
    bool keyword(std::string_view k) {
        ws();
        if (p + k.size() > s.size() || !ieq(s.substr(p, k.size()), k)) return false;
        if (p + k.size() < s.size() && identChar(s[p + k.size()])) return false;
        p += k.size();
        return true;
    }
    void need(std::string_view k) {
        if (!keyword(k)) throw ParseError(p, "'" + std::string(k) + "'");
    }
    bool punct(char c) {
        ws();
        if (p < s.size() && s[p] == c) {
            ++p;
            return true;
        }
        return false;
    }
    std::string ident() {
        ws();
        std::size_t b = p;
        while (p < s.size() && identChar(s[p])) ++p;
        if (b == p) throw ParseError(p, "a name");
        return std::string(s.substr(b, p - b));
    }
    ColumnRef column(bool star) {
        ColumnRef r;
        ws();
        if (star && punct('*')) return {"", "*"};
        r.column = ident();
        if (punct('.')) {
            r.table = r.column;
            if (star && punct('*'))
                r.column = "*";
            else
                r.column = ident();
        }
        return r;
    }
    std::unique_ptr<Expr> orExpr() {
        auto l = andExpr();
        while (keyword("or")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Or;
            e->left = std::move(l);
            e->right = andExpr();
            l = std::move(e);
        }
        return l;
    }
    std::unique_ptr<Expr> andExpr() {
        auto l = notExpr();
        while (keyword("and")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::And;
            e->left = std::move(l);
            e->right = notExpr();
            l = std::move(e);
        }
        return l;
    }
    std::unique_ptr<Expr> notExpr() {
        if (keyword("not")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Not;
            e->left = notExpr();
            return e;
        }
        if (punct('(')) {
            auto e = orExpr();
            if (!punct(')')) throw ParseError(p, "')'");
            return e;
        }
        auto e = std::make_unique<Expr>();
        e->column = column(false);
        ws();
        if (keyword("like")) {
            e->kind = Expr::Like;
        } else {
            e->kind = Expr::Compare;
            for (std::string_view op : {"<>", "<=", ">=", "=", "<", ">"}) {
                if (s.substr(p, op.size()) == op) {
                    e->op = op;
                    p += op.size();
                    break;
                }
            }
            if (e->op.empty()) throw ParseError(p, "a comparison operator");
        }
        e->literal = literal();
        return e;
    }
    jet::Value literal() {
        ws();
        if (p < s.size() && s[p] == '\'') {
            std::string v;
            for (++p;; ++p) {
                if (p >= s.size()) throw ParseError(p, "a closing quote");
                if (s[p] == '\'') {
                    if (p + 1 < s.size() && s[p + 1] == '\'') {
                        v += '\'';
                        ++p;
                    } else {
                        ++p;
                        return v;
                    }
                } else {
                    v += s[p];
                }
            }
        }
        std::size_t b = p;
        if (p < s.size() && s[p] == '-') ++p;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) ++p;
        if (p == b || (p == b + 1 && s[b] == '-')) throw ParseError(b, "a literal");
        try {
            return std::int64_t{std::stoll(std::string(s.substr(b, p - b)))};
        } catch (const std::out_of_range&) {
            throw ParseError(b, "an integer that fits in 64 bits");
        }
    }
    Query query() {
        Query q;
        need("select");
        do q.select.push_back(column(true));
        while (punct(','));
        need("from");
        q.table = ident();
        if (keyword("where")) q.where = orExpr();
        if (keyword("group")) {
            need("by");
            do q.groupBy.push_back(column(false));
            while (punct(','));
        }
        ws();
        if (p != s.size()) throw ParseError(p, "end of statement");
        return q;
    }
};

struct Bound {
    std::vector<ColumnInfo> cols;
    std::string table;
    std::size_t find(const ColumnRef& r) const {
        if (!r.table.empty() && !ieq(r.table, table))
            throw jet::Error("SQL: unknown table " + r.table);
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (ieq(cols[i].name, r.column)) return i;
        throw jet::Error("SQL: unknown column " + r.column);
    }
};

char32_t foldChar(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c = c - 0xFF01 + 0x21;
    if (c == 0x3000) c = U' ';
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    return c;
}

// The next code point of UTF-8 text; the engine hands out well-formed text, and a truncated
// sequence ends the text.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < n && i + k < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    return cp;
}

std::u32string decode(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) out.push_back(nextCodePoint(s, i));
    return out;
}

// A Like pattern as the matcher reads it: its characters folded, and the characters that
// have a meaning in Like (typed as themselves, in ASCII) moved out of Unicode's range, so that
// a full-width "？" or "＊" that folds to "?" or "*" still stands for itself, as Jet reads it.
constexpr char32_t kSyntax = 0x110000;
constexpr char32_t kStar = kSyntax + U'*', kAny = kSyntax + U'?', kDigit = kSyntax + U'#',
                   kOpen = kSyntax + U'[', kClose = kSyntax + U']', kNot = kSyntax + U'!',
                   kDash = kSyntax + U'-';

std::u32string compilePattern(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        const bool syntax =
            c == U'*' || c == U'?' || c == U'#' || c == U'[' || c == U']' || c == U'!' || c == U'-';
        out.push_back(syntax ? kSyntax + c : foldChar(c));
    }
    return out;
}

// A class's bound or member: the character a syntax mark stands for, where it is not one.
char32_t literal(char32_t c) { return c >= kSyntax ? c - kSyntax : c; }

// Whether the pattern token at p[j] (anything but '*') takes the folded character c; `next` is
// where the following token starts. An unclosed '[' takes the rest of the pattern as its set.
bool tokenMatches(const std::u32string& p, std::size_t j, char32_t c, std::size_t& next) {
    const char32_t t = p[j];
    next = j + 1;
    if (t == kAny) return true;
    if (t == kDigit) return c >= U'0' && c <= U'9';
    if (t != kOpen) return literal(t) == c;
    std::size_t k = j + 1;
    const bool neg = k < p.size() && p[k] == kNot;
    if (neg) ++k;
    bool hit = false;
    const std::size_t start = k;
    while (k < p.size() && (p[k] != kClose || k == start)) {
        if (k + 2 < p.size() && p[k + 1] == kDash && p[k + 2] != kClose) {
            if (c >= literal(p[k]) && c <= literal(p[k + 2])) hit = true;
            k += 3;
        } else {
            if (c == literal(p[k])) hit = true;
            ++k;
        }
    }
    next = k + 1;  // past ']'
    return hit != neg;
}

// Like over UTF-8 text, folding its characters as they are read. Every token but '*' takes
// exactly one character, so on a mismatch it is enough to let the latest '*' take one more
// character and go on from there: time grows with text times pattern, never exponentially,
// however many '*' a keyword holds.
bool likeText(std::string_view v, const std::u32string& p) {
    constexpr std::size_t kNone = std::u32string::npos;
    std::size_t i = 0, j = 0;
    std::size_t starJ = kNone, starI = 0;
    for (;;) {
        if (j < p.size() && p[j] == kStar) {
            starJ = ++j;
            starI = i;
            continue;
        }
        if (i < v.size() && j < p.size()) {
            std::size_t ni = i, nj = 0;
            if (tokenMatches(p, j, foldChar(nextCodePoint(v, ni)), nj)) {
                i = ni;
                j = nj;
                continue;
            }
        } else if (i >= v.size() && j >= p.size()) {
            return true;
        }
        if (starJ == kNone || starI >= v.size()) return false;
        nextCodePoint(v, starI);
        i = starI;
        j = starJ;
    }
}

// For "*text*" where no character of the text is a wildcard or the folded form of another
// character (case and width fold only into the printable ASCII range), the text matches
// exactly when its UTF-8 bytes occur in the value: returns those bytes, else nothing.
std::optional<std::string> plainContains(const std::u32string& p) {
    if (p.size() < 3 || p.front() != kStar || p.back() != kStar) return std::nullopt;
    std::string bytes;
    for (std::size_t k = 1; k + 1 < p.size(); ++k) {
        const char32_t c = p[k];
        if (c <= 0x7E || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        jet::appendCodePoint(c, bytes);
    }
    return bytes;
}

// Folded comparison of UTF-8 text with an already folded text, without building a copy.
int compareFolded(std::string_view a, const std::u32string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t x = foldChar(nextCodePoint(a, i)), y = b[j++];
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

// Resolves every column of the condition and folds its text literals once.
void bindColumns(Expr& e, const Bound& b, std::vector<bool>& w) {
    if (e.kind == Expr::Compare || e.kind == Expr::Like) {
        e.index = b.find(e.column);
        w[e.index] = true;
        if (auto t = std::get_if<std::string>(&e.literal))
            e.folded = e.kind == Expr::Like ? compilePattern(*t) : fold(*t);
        if (e.kind == Expr::Like) {
            e.contains = plainContains(e.folded).value_or("");
            e.anyText =
                !e.folded.empty() && e.folded.find_first_not_of(kStar) == std::u32string::npos;
        }
    }
    if (e.left) bindColumns(*e.left, b, w);
    if (e.right) bindColumns(*e.right, b, w);
}

bool number(const jet::Value& v, double& d) {
    if (auto i = std::get_if<std::int64_t>(&v)) return d = double(*i), true;
    if (auto x = std::get_if<double>(&v)) return d = *x, true;
    if (auto x = std::get_if<bool>(&v)) return d = *x ? -1 : 0, true;
    return false;
}

// Orders two values: text folded, numbers numerically; -2 means incomparable.
int compare(const jet::Value& a, const jet::Value& b) {
    if (a.index() == 0 || b.index() == 0) return -2;
    double x, y;
    if (number(a, x) && number(b, y)) return x < y ? -1 : x > y ? 1 : 0;
    auto sa = std::get_if<std::string>(&a);
    auto sb = std::get_if<std::string>(&b);
    if (sa && sb) return compareFolded(*sa, fold(*sb));
    if (sa && number(b, y)) {
        try {
            x = std::stod(*sa);
        } catch (...) {
            return -2;
        }
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return -2;
}

// A row seen either as a vector of values or as row r of columns held in memory.
struct RowRef {
    const std::vector<jet::Value>* row = nullptr;
    const Columns* cols = nullptr;
    std::size_t r = 0;
    const jet::Value& operator[](std::size_t i) const {
        return row ? (*row)[i] : (*cols->byColumn[i])[r];
    }
};

// Three-valued, so that Not over a null stays unmatched: 0 false, 1 true, 2 unknown.
int eval(const Expr& e, const RowRef& row) {
    switch (e.kind) {
        case Expr::And: {
            int l = eval(*e.left, row);
            if (l == 0) return 0;
            int r = eval(*e.right, row);
            return r == 0 ? 0 : (l == 2 || r == 2) ? 2 : 1;
        }
        case Expr::Or: {
            int l = eval(*e.left, row);
            if (l == 1) return 1;
            int r = eval(*e.right, row);
            return r == 1 ? 1 : (l == 2 || r == 2) ? 2 : 0;
        }
        case Expr::Not: {
            int v = eval(*e.left, row);
            return v == 2 ? 2 : 1 - v;
        }
        case Expr::Like: {
            auto v = std::get_if<std::string>(&row[e.index]);
            if (!v || !std::holds_alternative<std::string>(e.literal)) return 2;
            if (e.anyText) return 1;
            if (!e.contains.empty()) return v->find(e.contains) != std::string::npos ? 1 : 0;
            return likeText(*v, e.folded) ? 1 : 0;
        }
        case Expr::Compare: {
            const jet::Value& v = row[e.index];
            int c;
            if (v.index() == 0 || e.literal.index() == 0)
                c = -2;
            else if (auto t = std::get_if<std::string>(&v);
                     t && std::holds_alternative<std::string>(e.literal))
                c = compareFolded(*t, e.folded);
            else
                c = compare(v, e.literal);
            if (c == -2) return 2;
            bool m = e.op == "="    ? c == 0
                     : e.op == "<>" ? c != 0
                     : e.op == "<"  ? c < 0
                     : e.op == ">"  ? c > 0
                     : e.op == "<=" ? c <= 0
                                    : c >= 0;
            return m ? 1 : 0;
        }
    }
    return 2;
}

// The key under which a row joins its group: values equal under the engine's comparison
// give equal keys (text folded, numbers by value, null apart).
void appendKey(std::string& key, const jet::Value& v) {
    double d;
    if (v.index() == 0) {
        key += 'z';
    } else if (number(v, d)) {
        key += 'n';
        key.append(reinterpret_cast<const char*>(&d), sizeof d);
    } else if (auto t = std::get_if<std::string>(&v)) {
        key += 't';
        for (std::size_t i = 0; i < t->size();) {
            char32_t c = foldChar(nextCodePoint(*t, i));
            key.append(reinterpret_cast<const char*>(&c), sizeof c);
        }
        key += std::string(4, '\0');
    } else {
        key += 'o';
        key += std::to_string(v.index());
    }
}

// Each `column = 'text'` that a row must satisfy for the condition to hold: the terms of
// the condition's top-level And chain.
template <class F>
void forEachEquality(const Expr& e, F&& f) {
    if (e.kind == Expr::And) {
        forEachEquality(*e.left, f);
        forEachEquality(*e.right, f);
    } else if (e.kind == Expr::Compare && e.op == "=" &&
               std::holds_alternative<std::string>(e.literal)) {
        f(e);
    }
}

}  // namespace

std::u32string fold(std::string_view utf8) {
    auto s = decode(utf8);
    for (auto& c : s) c = foldChar(c);
    return s;
}

bool like(std::string_view value, std::string_view pattern) {
    return likeText(value, compilePattern(pattern));
}

Query parse(std::string_view text) {
    Parser p{text};
    return p.query();
}

std::vector<jet::Value> Source::fetch(std::string_view table, std::uint64_t,
                                      const std::vector<bool>&) {
    throw jet::Error("SQL: rows of " + std::string(table) + " cannot be looked up");
}

Result execute(Source& source, std::string_view text, const Options& options,
               const FoundRow& foundRow) {
    Query q = parse(text);
    Bound b{source.columns(q.table), q.table};
    Result res;
    res.table = q.table;
    for (auto& r : q.select) {
        if (r.column == "*") {
            if (!r.table.empty() && !ieq(r.table, q.table))
                throw jet::Error("SQL: unknown table " + r.table);
            for (std::size_t i = 0; i < b.cols.size(); ++i) res.projection.push_back(i);
        } else {
            res.projection.push_back(b.find(r));
        }
    }
    for (auto i : res.projection) res.columns.push_back(b.cols[i]);
    std::vector<std::size_t> group;
    for (auto& r : q.groupBy) group.push_back(b.find(r));
    res.grouped = !group.empty();

    std::vector<bool> filter(b.cols.size(), false);
    if (q.where) bindColumns(*q.where, b, filter);
    std::vector<bool> out(b.cols.size(), false);
    for (auto i : res.projection) out[i] = true;
    for (auto i : group) out[i] = true;

    // Ungrouped queries with a condition find their rows on the filter's columns alone and
    // look up the rows that match, which skips decoding long texts of rows that do not.
    bool lookUp = !res.grouped && (!options.materialise || (q.where && source.canFetch()));
    std::vector<bool> wanted = filter;
    if (!lookUp)
        for (std::size_t i = 0; i < wanted.size(); ++i) wanted[i] = wanted[i] || out[i];

    const bool sink = lookUp && !options.materialise && foundRow;
    auto found = [&](std::uint64_t id) {
        if (sink)
            foundRow(res, id);
        else
            res.rowIds.push_back(id);
    };
    std::vector<std::vector<jet::Value>> groups;
    std::unordered_map<std::string, std::size_t> groupOf;
    std::string key;
    std::vector<jet::Value> lastGroup;
    auto take = [&](std::uint64_t id, const RowRef& row) {
        if (q.where && eval(*q.where, row) != 1) return;
        if (lookUp) {
            found(id);
            return;
        }
        if (!res.grouped) {
            std::vector<jet::Value> r;
            r.reserve(res.projection.size());
            for (auto i : res.projection) r.push_back(row[i]);
            res.rows.push_back(std::move(r));
            res.rowIds.push_back(id);
            return;
        }
        // Rows of one group often come one after the other: the same values as the row
        // before make the same key, already placed.
        if (!lastGroup.empty()) {
            bool same = true;
            for (std::size_t k = 0; k < group.size() && same; ++k)
                same = lastGroup[k] == row[group[k]];
            if (same) return;
        }
        lastGroup.clear();
        for (auto i : group) lastGroup.push_back(row[i]);
        key.clear();
        for (auto i : group) appendKey(key, row[i]);
        if (groupOf.emplace(key, groups.size()).second) {
            std::vector<jet::Value> g(b.cols.size());
            for (std::size_t i = 0; i < g.size(); ++i)
                if (out[i]) g[i] = row[i];
            groups.push_back(std::move(g));
        }
    };
    // Long texts are worth holding in memory for a condition on them (a search run again and
    // again), not for handing each row out once.
    bool viaColumns = lookUp;
    if (!viaColumns) {
        viaColumns = true;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (wanted[i] &&
                (b.cols[i].type == jet::ColumnType::Memo || b.cols[i].type == jet::ColumnType::OLE))
                viaColumns = false;
    }
    if (const Columns* cols = viaColumns ? source.columnar(q.table, wanted) : nullptr) {
        RowRef row{nullptr, cols, 0};
        // A condition that needs a text column to equal a text visits only the rows that do:
        // the catalogue's queries each want one grade's or subject's rows of the whole bank.
        const std::vector<std::uint32_t>* only = nullptr;
        if (q.where)
            forEachEquality(*q.where, [&](const Expr& e) {
                if (b.cols[e.index].type != jet::ColumnType::Text) return;
                auto rows = source.rowsEqual(q.table, e.index, e.folded);
                if (rows && (!only || rows->size() < only->size())) only = rows;
            });
        if (only) {
            for (auto r : *only) {
                row.r = r;
                take(cols->ids[r], row);
            }
        } else {
            for (row.r = 0; row.r < cols->ids.size(); ++row.r) take(cols->ids[row.r], row);
        }
    } else if (lookUp && q.where && q.where->kind == Expr::Like && !q.where->contains.empty() &&
               source.scanContaining(q.table, q.where->index, q.where->contains, found)) {
        // A keyword search on its own: found on the stored text.
    } else {
        source.scan(q.table, wanted, [&](std::uint64_t id, const std::vector<jet::Value>& values) {
            take(id, RowRef{&values, nullptr, 0});
        });
    }

    if (lookUp && options.materialise) {
        res.rows.reserve(res.rowIds.size());
        for (auto id : res.rowIds) {
            auto values = source.fetch(q.table, id, out);
            std::vector<jet::Value> r;
            r.reserve(res.projection.size());
            for (auto i : res.projection) r.push_back(values[i]);
            res.rows.push_back(std::move(r));
        }
    }
    if (res.grouped) {
        auto order = [](const jet::Value& a, const jet::Value& c) {
            if (a.index() == 0 || c.index() == 0) return int(c.index() == 0) - int(a.index() == 0);
            int r = compare(a, c);
            // Values equal under the folded comparison are one group; its order is theirs.
            return r == -2 ? 0 : r;
        };
        std::stable_sort(groups.begin(), groups.end(), [&](const auto& x, const auto& y) {
            for (auto i : group) {
                int r = order(x[i], y[i]);
                if (r != 0) return r < 0;
            }
            return false;
        });
        for (auto& g : groups) {
            std::vector<jet::Value> r;
            for (auto i : res.projection) r.push_back(g[i]);
            res.rows.push_back(std::move(r));
        }
    }
    return res;
}

}  // namespace sql
