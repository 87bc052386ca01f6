// Status and Result: how the table engine reports expected failures.
//
// Nothing in the engine throws across its API for an expected failure (a refused lock, a missing
// file, a full disk, a damaged file). Every non-OK status carries a message that names the file and
// what was wrong, so callers can show or log it without adding context.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace zentor::dbf {

class Status {
 public:
  enum class Code {
    kOk = 0,
    kNotFound,         // file, field, tag or record does not exist
    kLocked,           // a lock or an exclusive open was refused because another handle holds it
    kIoError,          // the operating system refused a read, write, rename, ...
    kNoSpace,          // the disk is full (ENOSPC); nothing half-written is left behind
    kCorruption,       // the file contradicts its own structure
    kInvalidArgument,  // the caller asked for something impossible (bad field name, bad value)
    kSyntax,           // an expression did not parse; the message names the position
    kNotSupported,     // a valid file that uses a feature this engine does not implement
    kReadOnly,         // a write on a table opened read-only
  };

  Status() = default;  // OK
  static Status OK() { return Status(); }
  static Status NotFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
  static Status Locked(std::string msg) { return Status(Code::kLocked, std::move(msg)); }
  static Status IoError(std::string msg) { return Status(Code::kIoError, std::move(msg)); }
  static Status NoSpace(std::string msg) { return Status(Code::kNoSpace, std::move(msg)); }
  static Status Corruption(std::string msg) { return Status(Code::kCorruption, std::move(msg)); }
  static Status InvalidArgument(std::string msg) { return Status(Code::kInvalidArgument, std::move(msg)); }
  static Status Syntax(std::string msg) { return Status(Code::kSyntax, std::move(msg)); }
  static Status NotSupported(std::string msg) { return Status(Code::kNotSupported, std::move(msg)); }
  static Status ReadOnly(std::string msg) { return Status(Code::kReadOnly, std::move(msg)); }

  bool ok() const { return code_ == Code::kOk; }
  explicit operator bool() const { return ok(); }
  Code code() const { return code_; }
  bool isNotFound() const { return code_ == Code::kNotFound; }
  bool isLocked() const { return code_ == Code::kLocked; }
  bool isCorruption() const { return code_ == Code::kCorruption; }
  bool isNoSpace() const { return code_ == Code::kNoSpace; }
  const std::string& message() const { return message_; }
  // "OK" or "<code name>: <message>".
  std::string toString() const;

 private:
  Status(Code c, std::string m) : code_(c), message_(std::move(m)) {}
  Code code_ = Code::kOk;
  std::string message_;
};

// A value or the status that explains why there is none.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}          // NOLINT: implicit on purpose
  Result(Status status) : status_(std::move(status)) {}  // NOLINT: REQUIRES: !status.ok()
  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace zentor::dbf
