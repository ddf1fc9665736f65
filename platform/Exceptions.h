// The exception classes of the system.
//
// Every error raised inside the libraries derives from Exception, which carries
// the message text (UTF-8 inside, UTF-16 on request, since most of the system's
// texts are UTF-16). Nothing here crosses the lemmatiser's C boundary: its
// exports catch everything.
//
// The specific kinds let a caller catch what it can handle and let everything
// else pass:
//
//   Exception
//   ├── EConvertError       a text that is not a number or date, a Format
//   │                       pattern that does not fit its arguments
//   ├── EListError          an index outside a list
//   │   └── EStringListError  sorted-list misuse, duplicates refused
//   ├── EOSError            an operating-system call failed; carries errno
//   ├── EMathError          a computation left the domain of its arithmetic
//   │   ├── EZeroDivide     a non-zero value divided by zero, the logarithm of 0
//   │   ├── EInvalidOp      0/0, the logarithm or square root of a negative
//   │   │                   number, a not-a-number operand
//   │   └── EOverflow       a result too large for its type (or infinite)
//   └── EStreamError        a stream could not deliver or take bytes
//       ├── EReadError      short read, malformed stored data
//       ├── EWriteError     short write
//       └── EFileStreamError  a file could not be opened or created
//           ├── EFOpenError
//           └── EFCreateError
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/Export.h"

namespace qn {

class QN_API Exception : public std::exception {
 public:
  explicit Exception(std::string message);
  explicit Exception(std::u16string_view message);
  ~Exception() override;

  // The message as UTF-8.
  const std::string& Message() const noexcept { return fMessage; }
  // The message as UTF-16.
  std::u16string MessageW() const;
  const char* what() const noexcept override { return fMessage.c_str(); }

 private:
  std::string fMessage;
};

// A text that cannot be read as the value asked for ("'abc' is not a valid
// integer value"), a date that does not exist, or a Format pattern whose
// placeholders do not match its arguments.
class QN_API EConvertError : public Exception {
 public:
  using Exception::Exception;
  ~EConvertError() override;
};

// An index outside a list ("List index out of bounds (5)").
class QN_API EListError : public Exception {
 public:
  using Exception::Exception;
  ~EListError() override;
};

// A string list refused an operation: a duplicate in a list whose duplicates
// are errors, an insertion at a chosen place in a sorted list.
class QN_API EStringListError : public EListError {
 public:
  using EListError::EListError;
  ~EStringListError() override;
};

// An operating-system call failed. ErrorCode() is the errno value; the message
// holds the caller's context followed by the system's text for the code.
class QN_API EOSError : public Exception {
 public:
  EOSError(std::string message, int errorCode);
  ~EOSError() override;
  int ErrorCode() const noexcept { return fErrorCode; }

  // Raises EOSError for the current errno, the message being context, ": " and
  // the system's text for the code.
  [[noreturn]] static void RaiseLastError(std::string_view context);

 private:
  int fErrorCode;
};

// A floating-point computation that has no finite answer. The numeric
// routines test each operation's domain and each result themselves and raise
// one of the three kinds below; floating-point traps are never switched on
// (they belong to the whole process, host included).
class QN_API EMathError : public Exception {
 public:
  using Exception::Exception;
  ~EMathError() override;
};

// "Floating point division by zero": x/0 with x not 0, ln(0), log2(0).
class QN_API EZeroDivide : public EMathError {
 public:
  EZeroDivide();
  using EMathError::EMathError;
  ~EZeroDivide() override;
};

// "Invalid floating point operation": 0/0, the logarithm or square root of a
// negative number, an operand that is not a number.
class QN_API EInvalidOp : public EMathError {
 public:
  EInvalidOp();
  using EMathError::EMathError;
  ~EInvalidOp() override;
};

// "Floating point overflow": a result that is infinite or too large for the
// precision it is delivered in.
class QN_API EOverflow : public EMathError {
 public:
  EOverflow();
  using EMathError::EMathError;
  ~EOverflow() override;
};

// A stream could not deliver or accept the bytes asked of it.
class QN_API EStreamError : public Exception {
 public:
  using Exception::Exception;
  ~EStreamError() override;
};

// Fewer bytes than asked could be read ("Stream read error"), or stored data
// is malformed ("file read error : ReadAString").
class QN_API EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  ~EReadError() override;
};

// Fewer bytes than asked could be written ("Stream write error").
class QN_API EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
  ~EWriteError() override;
};

// A file stream could not be opened or created. ErrorCode() is the errno value
// of the failed call (0 when the refusal came from a share mode).
class QN_API EFileStreamError : public EStreamError {
 public:
  EFileStreamError(std::string message, int errorCode);
  ~EFileStreamError() override;
  int ErrorCode() const noexcept { return fErrorCode; }

 private:
  int fErrorCode;
};

// "Cannot open file "<name>". <system text>"
class QN_API EFOpenError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
  ~EFOpenError() override;
};

// "Cannot create file "<name>". <system text>"
class QN_API EFCreateError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
  ~EFCreateError() override;
};

// The message of the stored-data readers: "file read error : " followed by
// where (the name of the reader that met the malformed data).
QN_API std::string FileReadErrorMessage(std::string_view where);

// Raises EReadError with FileReadErrorMessage(where).
[[noreturn]] QN_API void RaiseFileReadError(std::string_view where);

// The system's text for an errno value ("No such file or directory").
QN_API std::string SystemErrorText(int errorCode);

}  // namespace qn
