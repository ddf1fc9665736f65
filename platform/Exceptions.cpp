#include "platform/Exceptions.h"

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

}  // namespace qn
