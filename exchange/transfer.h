// Moving questions between two open question files: the export (every selected row appended
// to a fresh copy of the template) and the import (target rows whose question text a source
// row carries give way, then every source row is appended). Each runs as one transaction of the
// target's workspace: it happens entirely or, on any failure, not at all.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <unordered_set>

#include "dao/dao.h"
#include "jet/error.h"

namespace exchange {

// The question texts of the source rows, collected once, so that the removal pass walks the
// target a single time. Texts match exactly, character for character; a row without a text
// matches nothing.
class ReplacedTexts {
  public:
    void add(const jet::Value& yuanti);
    bool replaces(const jet::Value& yuanti) const;
    std::size_t size() const { return texts_.size(); }

  private:
    std::unordered_set<std::string> texts_;
};

// What the window shows while the work runs: the maximum once, then every value from 1 up to
// it, each once.
struct Progress {
    std::function<void(long maximum)> start;
    std::function<void(long value)> step;
};

struct Outcome {
    enum class Status {
        Done,
        Empty,       // the source has no rows; nothing was written
        Unreadable,  // some source rows could not be read; nothing was changed
        Failed,      // writing failed; nothing was changed
    };
    Status status = Status::Done;
    long sourceRows = 0;
    long removed = 0;            // target rows that gave way (import only)
    long added = 0;              // rows appended to the target
    long unreadable = 0;         // source rows that could not be read
    std::string error;           // the first failure, for Failed
    std::exception_ptr failure;  // the same failure itself, for the window to tell
    jet::ErrorKind errorKind = jet::ErrorKind::General;
    // Source rows the target cannot store (a value out of its column's range or longer than
    // it, a character its code page lacks): left out of an import that goes on without them.
    struct LeftOut {
        long row = 0;  // 1-based place in the source
        std::string yuanti;
        jet::ErrorKind kind = jet::ErrorKind::ValueDoesNotFit;
    };
    std::vector<LeftOut> leftOut;
};

// Appends every row of `source` to `target`, all twelve columns by position, in order. The
// progress runs from 1 to the number of source rows.
Outcome exportQuestions(dao::Workspace& targetWorkspace, dao::Recordset& source,
                        dao::Recordset& target, const Progress& progress = {});

// Removes from `target` every row whose question text equals a source row's, then appends every
// source row whole, in order; a row the target cannot store is left out (Outcome::leftOut) and
// the target rows it would have replaced stay. The progress runs to twice the number of source
// rows: the first half one step per source row copied, the second spread over the walk that
// removes the replaced rows.
Outcome importQuestions(dao::Workspace& targetWorkspace, dao::Recordset& source,
                        dao::Recordset& target, const Progress& progress = {});

}  // namespace exchange
