#include "transfer.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "bank_tables.h"

namespace exchange {

namespace tiku = bank::tiku;

void ReplacedTexts::add(const jet::Value& yuanti) {
    if (auto* s = std::get_if<std::string>(&yuanti)) texts_.insert(*s);
}

bool ReplacedTexts::replaces(const jet::Value& yuanti) const {
    auto* s = std::get_if<std::string>(&yuanti);
    return s && texts_.contains(*s);
}

namespace {

// Hands the window every value up to the one reached, each once, whatever the pace of the work.
class Ticker {
  public:
    explicit Ticker(const Progress& p) : p_(p) {}
    void start(long maximum) {
        if (p_.start) p_.start(maximum);
    }
    void reach(long value) {
        while (done_ < value) {
            ++done_;
            if (p_.step) p_.step(done_);
        }
    }

  private:
    const Progress& p_;
    long done_ = 0;
};

bool fits(const dao::Recordset& rs) { return rs.fieldCount() == std::size_t(tiku::kColumnCount); }

std::string what(const std::exception& e) { return e.what(); }

// Called while `e` is being handled, so that the failure itself is kept for the window.
void failed(Outcome& o, const std::exception& e) {
    o.status = Outcome::Status::Failed;
    o.error = what(e);
    o.failure = std::current_exception();
    if (const auto* jetError = dynamic_cast<const jet::Error*>(&e)) o.errorKind = jetError->kind();
}

// One row of the source, or nothing when it cannot be read (a damaged row, or one deleted
// since the record set was opened).
std::optional<std::vector<jet::Value>> readRow(const dao::Recordset& source) {
    try {
        return source.row();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void append(dao::Recordset& target, std::vector<jet::Value> row) {
    target.AddNew();
    for (std::size_t i = 0; i < std::size_t(tiku::kColumnCount); ++i)
        target.Fields(i) = std::move(row[i]);
    target.Update();
}

// The engine refuses such a row before writing any of it, so the transaction goes on intact.
bool unstorable(const jet::Error& e) {
    return e.kind() == jet::ErrorKind::ValueDoesNotFit || e.kind() == jet::ErrorKind::Unencodable;
}

// Runs `work` inside one transaction of `ws`, which it keeps only when `work` returns Done.
Outcome transaction(dao::Workspace& ws, Outcome outcome,
                    const std::function<void(Outcome&)>& work) {
    try {
        ws.BeginTrans();
    } catch (const std::exception& e) {
        failed(outcome, e);
        return outcome;
    }
    try {
        work(outcome);
        if (outcome.status == Outcome::Status::Done)
            ws.CommitTrans();
        else
            ws.Rollback();
    } catch (const std::exception& e) {
        try {
            ws.Rollback();
        } catch (...) {
            // The engine's journal undoes what the rollback could not.
        }
        failed(outcome, e);
    }
    if (outcome.status != Outcome::Status::Done) {
        outcome.removed = 0;
        outcome.added = 0;
        outcome.leftOut.clear();
    }
    return outcome;
}

// Both sides checked and read anew; a status other than Done ends the run with it.
Outcome prepared(dao::Recordset& source, dao::Recordset& target) {
    Outcome outcome;
    if (!source.isOpen() || !target.isOpen() || !fits(source) || !fits(target)) {
        outcome.status = Outcome::Status::Failed;
        outcome.error = "source or target is not an open question table";
        outcome.failure = std::make_exception_ptr(dao::Error(outcome.error));
        return outcome;
    }
    // Other windows may have changed either file since it was chosen: work on the rows as
    // they are now, so that no target row escapes the comparison.
    try {
        source.Requery();
        target.Requery();
    } catch (const std::exception& e) {
        failed(outcome, e);
        return outcome;
    }
    outcome.sourceRows = source.RecordCount();
    if (outcome.sourceRows == 0 || source.Eof()) outcome.status = Outcome::Status::Empty;
    return outcome;
}

// Copy pass: every source row appended whole, in order, one progress step per row after
// `counter`. After one unreadable row nothing will be kept; reading on only counts them. With
// `stored` (the import), a row the target cannot store is left out and the texts of the rows
// stored are collected.
void copyRows(dao::Recordset& source, dao::Recordset& target, Ticker& ticker, long counter,
              Outcome& o, ReplacedTexts* stored = nullptr) {
    long place = 0;
    for (source.MoveFirst(); !source.Eof(); source.MoveNext()) {
        ++place;
        ticker.reach(++counter);
        auto row = readRow(source);
        if (!row) {
            ++o.unreadable;
            continue;
        }
        if (o.unreadable) continue;
        const jet::Value yuanti = (*row)[tiku::yuanti];
        try {
            append(target, std::move(*row));
        } catch (const jet::Error& e) {
            if (!stored || !unstorable(e)) throw;
            target.CancelUpdate();
            o.leftOut.push_back({place, dao::toText(yuanti), e.kind()});
            continue;
        }
        if (stored) stored->add(yuanti);
        ++o.added;
    }
    if (o.unreadable) o.status = Outcome::Status::Unreadable;
}

}  // namespace

Outcome exportQuestions(dao::Workspace& targetWorkspace, dao::Recordset& source,
                        dao::Recordset& target, const Progress& progress) {
    Outcome outcome = prepared(source, target);
    if (outcome.status != Outcome::Status::Done) return outcome;
    Ticker ticker(progress);
    ticker.start(outcome.sourceRows);
    return transaction(targetWorkspace, outcome,
                       [&](Outcome& o) { copyRows(source, target, ticker, 0, o); });
}

Outcome importQuestions(dao::Workspace& targetWorkspace, dao::Recordset& source,
                        dao::Recordset& target, const Progress& progress) {
    Outcome outcome = prepared(source, target);
    if (outcome.status != Outcome::Status::Done) return outcome;
    const long n = outcome.sourceRows;
    Ticker ticker(progress);
    ticker.start(2 * n);

    // Every source row is read before anything changes: one that cannot be read stops the
    // import with the target untouched.
    for (; !source.Eof(); source.MoveNext())
        if (!readRow(source)) ++outcome.unreadable;
    if (outcome.unreadable) {
        outcome.status = Outcome::Status::Unreadable;
        return outcome;
    }

    return transaction(targetWorkspace, outcome, [&](Outcome& o) {
        // The source rows go in first, so that only a stored row replaces anything: a row left
        // out keeps the target's own version of its question.
        const long m = target.RecordCount();
        ReplacedTexts stored;
        copyRows(source, target, ticker, 0, o, &stored);
        if (o.status != Outcome::Status::Done) return;

        // Removal pass: one walk over the rows the target had before; the second half of the
        // progress follows the walk.
        long walked = 0;
        for (target.MoveFirst(); walked < m && !target.Eof(); target.MoveNext()) {
            if (stored.replaces(target.Fields(tiku::yuanti).value())) {
                target.Delete();
                ++o.removed;
            }
            ++walked;
            ticker.reach(n + n * walked / m);
        }
        ticker.reach(2 * n);
    });
}

}  // namespace exchange
