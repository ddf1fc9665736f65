#include "runtime1/files/Mykpsmall.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qn {
namespace {

using Clock = std::chrono::steady_clock;

// Installs a yield procedure for the life of the object and counts its calls.
class ScopedYield {
 public:
  template <typename F>
  explicit ScopedYield(F& onYield) : fOnYield(onYield) {
    AYieldProcessProc = TYieldProcessProc::FromCallable(fCall);
  }
  ~ScopedYield() { AYieldProcessProc.Clear(); }
  ScopedYield(const ScopedYield&) = delete;
  ScopedYield& operator=(const ScopedYield&) = delete;

 private:
  std::function<void()> fOnYield;
  std::function<void()> fCall = [this] { fOnYield(); };
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(Waits, NothingToWaitForReturnsAtOnceWithoutYielding) {
  int yields = 0;
  auto count = [&yields] { ++yields; };
  const ScopedYield hook(count);

  bool conditionCalls = false;
  auto never = [&conditionCalls] {
    conditionCalls = true;
    return false;
  };
  EXPECT_FALSE(EspereFuncao(TBooleanFunction::FromCallable(never), 5));
  EXPECT_TRUE(conditionCalls);
  EXPECT_FALSE(EspereFuncao(TBooleanFunction(), 5));

  bool done = true;
  EXPECT_FALSE(WaitTillDone(done, 5));
  bool busy = false;
  EXPECT_FALSE(WaitedFor(busy, 5));
  EXPECT_EQ(yields, 0);
}

TEST(Waits, EndByTheAwaitedChangeMadeDuringAYield) {
  struct Case {
    const char* name;
    bool startFlag;
    bool (*wait)(const bool&, int32_t);
  };
  const Case cases[] = {{"WaitTillDone", false, &WaitTillDone}, {"WaitedFor", true, &WaitedFor}};
  for (const Case& c : cases) {
    bool flag = c.startFlag;
    int yields = 0;
    auto flipAfterTen = [&] {
      if (++yields == 10) flag = !flag;
    };
    const ScopedYield hook(flipAfterTen);
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(c.wait(flag, 30)) << c.name;
    EXPECT_LT(SecondsSince(start), 5.0) << c.name;
    // Four yields per pass: the change at the tenth is seen after the third pass.
    EXPECT_EQ(yields, 12) << c.name;
  }
}

TEST(Waits, EspereFuncaoAsksTheConditionInEveryPass) {
  int asked = 0;
  auto holdsThreeTimes = [&asked] { return ++asked <= 3; };
  int yields = 0;
  auto count = [&yields] { ++yields; };
  const ScopedYield hook(count);
  EXPECT_FALSE(EspereFuncao(TBooleanFunction::FromCallable(holdsThreeTimes), 30));
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(yields, 12);
}

TEST(Waits, AZeroSecondWaitEndsByTimeAfterOneWholeSecond) {
  bool never = false;
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(WaitTillDone(never, 0));
  const double waited = SecondsSince(start);
  EXPECT_GE(waited, 1.0);
  EXPECT_LT(waited, 2.5);

  bool always = true;
  auto holds = [] { return true; };
  const Clock::time_point start2 = Clock::now();
  EXPECT_TRUE(EspereFuncao(TBooleanFunction::FromCallable(holds), 0));
  EXPECT_TRUE(WaitedFor(always, -3));
  EXPECT_GE(SecondsSince(start2), 1.0);
}

TEST(MessageBoxes, WithoutAHostEveryQuestionIsDeclinedAtOnce) {
  ASSERT_FALSE(AMessageBoxProc.Assigned());
  EXPECT_EQ(NonInteractiveAnswer(TMessageButtons::OK), TMessageAnswer::OK);
  EXPECT_EQ(NonInteractiveAnswer(TMessageButtons::OKCancel), TMessageAnswer::Cancel);
  EXPECT_EQ(NonInteractiveAnswer(TMessageButtons::YesNo), TMessageAnswer::No);
  EXPECT_EQ(NonInteractiveAnswer(TMessageButtons::YesNoCancel), TMessageAnswer::Cancel);
  // Even while another box is said to be on screen, nothing waits.
  Global_ErrorMessageBusy = true;
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(MyMessageBox(u"Go on?", u"Confirmation", TMessageIcon::Question, TMessageButtons::YesNo),
            TMessageAnswer::No);
  EXPECT_LT(SecondsSince(start), 0.5);
  Global_ErrorMessageBusy = false;
}

struct RecordingBox {
  std::vector<std::u16string> texts;
  std::vector<std::u16string> captions;
  std::vector<TMessageRequest> kept;  // requests held on to, as a host may
  bool busyWhileShown = false;
  TMessageAnswer answer = TMessageAnswer::Yes;
  bool raise = false;

  TMessageAnswer Show(const TMessageRequest& request) {
    texts.emplace_back(request.Text);
    captions.emplace_back(request.Caption);
    kept.push_back(request);
    busyWhileShown = Global_ErrorMessageBusy;
    if (raise) throw std::runtime_error("box failed");
    return answer;
  }
};

class HostBox : public ::testing::Test {
 protected:
  void SetUp() override { AMessageBoxProc = TMessageBoxProc::Bind<&RecordingBox::Show>(&fBox); }
  void TearDown() override { AMessageBoxProc.Clear(); }
  RecordingBox fBox;
};

TEST_F(HostBox, TheHostAnswersAndTheBusyFlagIsHeldMeanwhile) {
  EXPECT_EQ(MyMessageBox(u"Overwrite?", u"Confirmation", TMessageIcon::Question, TMessageButtons::YesNo),
            TMessageAnswer::Yes);
  ASSERT_EQ(fBox.texts.size(), 1u);
  EXPECT_EQ(fBox.texts[0], u"Overwrite?");
  EXPECT_EQ(fBox.captions[0], u"Confirmation");
  EXPECT_TRUE(fBox.busyWhileShown);
  EXPECT_FALSE(Global_ErrorMessageBusy);

  fBox.raise = true;
  EXPECT_THROW(MyMessageBox(u"x", u"", TMessageIcon::Error, TMessageButtons::OK), std::runtime_error);
  EXPECT_FALSE(Global_ErrorMessageBusy);
}

TEST_F(HostBox, AKeptRequestOutlivesTheCallersTexts) {
  std::u16string text = u"Disk full while saving";
  std::u16string caption = u"Saving";
  MyMessageBox(text, caption, TMessageIcon::Error, TMessageButtons::OK);
  // The caller's buffers change and go; the request the host kept does not.
  text.assign(text.size(), u'x');
  caption.assign(caption.size(), u'y');
  text = std::u16string();
  caption = std::u16string();
  MyMessageBox(std::u16string(40, u'z'), std::u16string(u"temporary"), TMessageIcon::Warning,
               TMessageButtons::OKCancel);
  ASSERT_EQ(fBox.kept.size(), 2u);
  EXPECT_EQ(fBox.kept[0].Text, u"Disk full while saving");
  EXPECT_EQ(fBox.kept[0].Caption, u"Saving");
  EXPECT_EQ(fBox.kept[0].Icon, TMessageIcon::Error);
  EXPECT_EQ(fBox.kept[1].Text, std::u16string(40, u'z'));
  EXPECT_EQ(fBox.kept[1].Caption, u"temporary");
  EXPECT_EQ(fBox.kept[1].Buttons, TMessageButtons::OKCancel);
}

TEST_F(HostBox, ABoxWaitsForTheOneOnScreenToBeClosed) {
  Global_ErrorMessageBusy = true;
  int yields = 0;
  auto closeAfterFive = [&yields] {
    if (++yields == 5) Global_ErrorMessageBusy = false;
  };
  const ScopedYield hook(closeAfterFive);
  MyMessageBox(u"second", u"", TMessageIcon::Information, TMessageButtons::OK);
  EXPECT_EQ(yields, 8);
  EXPECT_TRUE(fBox.busyWhileShown);
  EXPECT_FALSE(Global_ErrorMessageBusy);
}

TEST_F(HostBox, CheckExecShowsTheFailureOfEachCode) {
  struct Case {
    uint32_t code;
    std::u16string_view message;
  };
  const Case cases[] = {
      {0, u"Not enough memory to run /opt/tool.bin"},
      {8, u"Not enough memory to run /opt/tool.bin"},
      {2, u"Can't access /opt/tool.bin"},
      {3, u"Can't access /opt/tool.bin"},
      {5, u"Can't access /opt/tool.bin"},
      {16, u"/opt/tool.bin already running"},
      {26, u"Sharing problem: /opt/tool.bin"},
      {27, u"Can't handle files ending \".bin\""},
      {31, u"Can't handle files ending \".bin\""},
      {1, u"Can't communicate with /opt/tool.bin"},
      {30, u"Can't communicate with /opt/tool.bin"},
  };
  for (const Case& c : cases) {
    fBox.texts.clear();
    EXPECT_EQ(CheckExec(c.code, u"/opt/tool.bin"), c.code);
    ASSERT_EQ(fBox.texts.size(), 1u) << c.code;
    EXPECT_EQ(fBox.texts[0], c.message) << c.code;
    EXPECT_EQ(fBox.captions[0], u"") << c.code;
  }
  fBox.texts.clear();
  EXPECT_EQ(CheckExec(32, u"x"), 32u);
  EXPECT_EQ(CheckExec(4000000000u, u"x"), 4000000000u);
  EXPECT_TRUE(fBox.texts.empty());
  // The extension is that of the name part only.
  EXPECT_EQ(CheckExecMessage(31, u"/my.dir/readme"), u"Can't handle files ending \"\"");
}

}  // namespace
}  // namespace qn
