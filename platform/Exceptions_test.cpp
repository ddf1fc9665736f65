#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qn {
namespace {

TEST(Exceptions, EveryKindIsCaughtAsItsParents) {
  auto raiseOpen = [] { throw EFOpenError("Cannot open file \"x\". No such file", ENOENT); };
  EXPECT_THROW(raiseOpen(), EFileStreamError);
  EXPECT_THROW(raiseOpen(), EStreamError);
  EXPECT_THROW(raiseOpen(), Exception);
  EXPECT_THROW(raiseOpen(), std::exception);
  EXPECT_THROW(throw EStringListError(std::string("dup")), EListError);
  EXPECT_THROW(throw EReadError(std::string("r")), EStreamError);
  EXPECT_THROW(throw EConvertError(std::string("c")), Exception);
  EXPECT_THROW(throw EZeroDivide(), EMathError);
  EXPECT_THROW(throw EInvalidOp(), EMathError);
  EXPECT_THROW(throw EOverflow(), EMathError);
  EXPECT_THROW(throw EMathError(std::string("m")), Exception);
}

TEST(Exceptions, ArithmeticFaultsCarryTheirOwnTexts) {
  EXPECT_EQ(EZeroDivide().Message(), "Floating point division by zero");
  EXPECT_EQ(EInvalidOp().Message(), "Invalid floating point operation");
  EXPECT_EQ(EOverflow().Message(), "Floating point overflow");
  EXPECT_EQ(EOverflow(std::string("too big")).Message(), "too big");
}

TEST(Exceptions, MessagesInBothForms) {
  const Exception wide(std::u16string_view(u"\u00e9t\u00e9 \U0001F600"));
  EXPECT_EQ(wide.Message(), "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80");
  EXPECT_EQ(wide.MessageW(), u"\u00e9t\u00e9 \U0001F600");
  EXPECT_STREQ(wide.what(), wide.Message().c_str());
  EXPECT_EQ(FileReadErrorMessage("ReadAString"), "file read error : ReadAString");
}

TEST(Exceptions, OperatingSystemErrorsCarryTheCode) {
  errno = ENOENT;
  try {
    EOSError::RaiseLastError("Reading the settings");
    FAIL() << "nothing raised";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), ENOENT);
    EXPECT_EQ(e.Message(), "Reading the settings: " + SystemErrorText(ENOENT));
  }
  EXPECT_FALSE(SystemErrorText(EACCES).empty());
  EXPECT_NE(SystemErrorText(EACCES), SystemErrorText(ENOENT));
  const EFCreateError create("Cannot create file", EROFS);
  EXPECT_EQ(create.ErrorCode(), EROFS);
}

}  // namespace
}  // namespace qn
