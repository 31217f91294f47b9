// Every failure inside the engine is one of these, with a message that names the file,
// the place and what is wrong. The message is English, for the command-line tool and for
// logs; the kind tells the windows what happened, so they can say it in the user's words
// without reading the message.
#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
    General,           // anything not listed below
    Missing,           // the file (or its folder) does not exist
    NotDatabase,       // the file is not a Jet database at all
    Damaged,           // a Jet database whose structure is broken
    Busy,              // another program is changing the file, or holds it open in Access
    ReadOnly,          // the file or its folder cannot be written
    DiskFull,          // the disk has no room for the change
    ValueDoesNotFit,   // a value is too long or out of range for its column
    Unencodable,       // a character the file's text encoding cannot hold
    IndexUnsupported,  // an index of the table cannot be kept for this change
    Replaced,          // the file was moved, deleted or replaced while it was open
};

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& what, ErrorKind kind = ErrorKind::General)
        : std::runtime_error(what), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

  private:
    ErrorKind kind_;
};

// A value that one column cannot take (ValueDoesNotFit, Unencodable): names the column, so that
// a window can say which.
class ColumnError : public Error {
  public:
    ColumnError(const std::string& what, ErrorKind kind, std::string column)
        : Error(what, kind), column_(std::move(column)) {}
    const std::string& column() const { return column_; }

  private:
    std::string column_;
};

// The kind of a failed system call's errno.
inline ErrorKind errnoKind(int e) {
    switch (e) {
        case ENOENT:
        case ENOTDIR:
            return ErrorKind::Missing;
        case EACCES:
        case EPERM:
        case EROFS:
            return ErrorKind::ReadOnly;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ErrorKind::DiskFull;
        case EAGAIN:
        case EBUSY:
        case ETXTBSY:
            return ErrorKind::Busy;
        default:
            return ErrorKind::General;
    }
}

}  // namespace jet
