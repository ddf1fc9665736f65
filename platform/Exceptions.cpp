#include "platform/Exceptions.h"

#include <cerrno>
#include <cstring>
#include <type_traits>

#include <unicode/unistr.h>

namespace qn {

Exception::Exception(std::string message) : fMessage(std::move(message)) {}

Exception::Exception(std::u16string_view message) {
  icu::UnicodeString text(false, message.data(), static_cast<int32_t>(message.size()));
  text.toUTF8String(fMessage);
}

Exception::~Exception() = default;

std::u16string Exception::MessageW() const {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(fMessage);
  return std::u16string(text.getBuffer(), static_cast<size_t>(text.length()));
}

// Out-of-line destructors anchor each class's type information in one object
// file, so that catching by type works across the shared libraries.
EConvertError::~EConvertError() = default;
EListError::~EListError() = default;
EStringListError::~EStringListError() = default;

EOSError::EOSError(std::string message, int errorCode)
    : Exception(std::move(message)), fErrorCode(errorCode) {}
EOSError::~EOSError() = default;

void EOSError::RaiseLastError(std::string_view context) {
  const int code = errno;
  std::string message(context);
  if (!message.empty()) message += ": ";
  message += SystemErrorText(code);
  throw EOSError(std::move(message), code);
}

EMathError::~EMathError() = default;
EZeroDivide::EZeroDivide() : EMathError(std::string("Floating point division by zero")) {}
EZeroDivide::~EZeroDivide() = default;
EInvalidOp::EInvalidOp() : EMathError(std::string("Invalid floating point operation")) {}
EInvalidOp::~EInvalidOp() = default;
EOverflow::EOverflow() : EMathError(std::string("Floating point overflow")) {}
EOverflow::~EOverflow() = default;

EStreamError::~EStreamError() = default;
EReadError::~EReadError() = default;
EWriteError::~EWriteError() = default;

EFileStreamError::EFileStreamError(std::string message, int errorCode)
    : EStreamError(std::move(message)), fErrorCode(errorCode) {}
EFileStreamError::~EFileStreamError() = default;
EFOpenError::~EFOpenError() = default;
EFCreateError::~EFCreateError() = default;

std::string FileReadErrorMessage(std::string_view where) {
  std::string message = "file read error : ";
  message += where;
  return message;
}

void RaiseFileReadError(std::string_view where) { throw EReadError(FileReadErrorMessage(where)); }

std::string SystemErrorText(int errorCode) {
  char buffer[256];
  // The GNU strerror_r returns the text (possibly a static string); the POSIX
  // one fills the buffer. Handle both so that either library builds.
  auto result = strerror_r(errorCode, buffer, sizeof buffer);
  if constexpr (std::is_same_v<decltype(result), char*>) {
    return result != nullptr ? std::string(result) : std::string("Unknown error");
  } else {
    return result == 0 ? std::string(buffer) : std::string("Unknown error");
  }
}

}  // namespace qn
