// The exception classes of the system.
//
// Every error raised inside the libraries derives from Exception, which carries
// the message text (UTF-8 inside, UTF-16 on request, since most of the system's
// texts are UTF-16). Nothing here crosses the lemmatiser's C boundary: its
// exports catch everything.
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

}  // namespace qn
