#include "platform/message_box.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace qrole::platform {
namespace {

TEST(MessageBoxNamesTest, NamesRoundTrip) {
  const std::vector<std::pair<MsgIcon, const char*>> icons = {{MsgIcon::None, "none"},
                                                              {MsgIcon::Error, "error"},
                                                              {MsgIcon::Warning, "warning"},
                                                              {MsgIcon::Information, "information"},
                                                              {MsgIcon::Question, "question"}};
  for (const auto& [icon, name] : icons) {
    EXPECT_STREQ(MsgIconName(icon), name);
    EXPECT_EQ(ParseMsgIcon(name), icon);
  }
  const std::vector<std::pair<MsgButtons, const char*>> buttons = {
      {MsgButtons::Ok, "ok"},
      {MsgButtons::OkCancel, "okcancel"},
      {MsgButtons::AbortRetryIgnore, "abortretryignore"},
      {MsgButtons::YesNoCancel, "yesnocancel"},
      {MsgButtons::YesNo, "yesno"},
      {MsgButtons::RetryCancel, "retrycancel"}};
  for (const auto& [b, name] : buttons) {
    EXPECT_STREQ(MsgButtonsName(b), name);
    EXPECT_EQ(ParseMsgButtons(name), b);
  }
  EXPECT_EQ(ParseMsgIcon("ERROR"), MsgIcon::Error);
  EXPECT_EQ(ParseMsgIcon("fatal"), std::nullopt);
  EXPECT_EQ(ParseMsgButtons("YesNo"), MsgButtons::YesNo);
  EXPECT_EQ(ParseMsgButtons(""), std::nullopt);
}

TEST(RecordingMessageBoxesTest, AnswersWithTheFirstButtonAndRecords) {
  std::vector<std::string> log;
  RecordingMessageBoxes boxes([&](const std::string& line) { log.push_back(line); });

  EXPECT_EQ(boxes.Show("t1", "T", MsgIcon::None, MsgButtons::Ok), kIdOk);
  EXPECT_EQ(boxes.Show("t2", "T", MsgIcon::Question, MsgButtons::OkCancel), kIdOk);
  EXPECT_EQ(boxes.Show("t3", "T", MsgIcon::Error, MsgButtons::AbortRetryIgnore), kIdAbort);
  EXPECT_EQ(boxes.Show("t4", "T", MsgIcon::Question, MsgButtons::YesNoCancel), kIdYes);
  EXPECT_EQ(boxes.Show("t5", "T", MsgIcon::Question, MsgButtons::YesNo), kIdYes);
  EXPECT_EQ(boxes.Show("t6", "T", MsgIcon::Warning, MsgButtons::RetryCancel), kIdRetry);

  const std::vector<MessageBoxRecord> records = boxes.TakeRecorded();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[2],
            (MessageBoxRecord{"t3", "T", MsgIcon::Error, MsgButtons::AbortRetryIgnore, kIdAbort}));
  EXPECT_EQ(records[5].text, "t6");
  EXPECT_EQ(records[5].answer, kIdRetry);
  EXPECT_TRUE(boxes.TakeRecorded().empty());  // Taking clears the list.

  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "qrole: message box: [T] t1");
}

TEST(RecordingMessageBoxesTest, LogLinesCannotBeForged) {
  EXPECT_EQ(RecordingMessageBoxes::LogLine("line one\r\nline two\nthree\tx", "Ti\ntle"),
            "qrole: message box: [Ti\\ntle] line one\\nline two\\nthree?x");
  EXPECT_EQ(RecordingMessageBoxes::LogLine("Año €", ""), "qrole: message box: [] Año €");
}

TEST(RecordingMessageBoxesTest, QueuedAnswersApplyWhenTheyFitTheButtons) {
  RecordingMessageBoxes boxes(RecordingMessageBoxes::LogSink{});
  boxes.QueueAnswer(kIdNo);
  boxes.QueueAnswer(kIdIgnore);  // Not a button of a Yes/No box: dropped.
  EXPECT_EQ(boxes.Show("q", "", MsgIcon::Question, MsgButtons::YesNo), kIdNo);
  EXPECT_EQ(boxes.Show("q", "", MsgIcon::Question, MsgButtons::YesNo), kIdYes);
  EXPECT_EQ(boxes.Show("q", "", MsgIcon::Question, MsgButtons::YesNo), kIdYes);
  EXPECT_EQ(boxes.TakeRecorded()[0].answer, kIdNo);

  EXPECT_TRUE(IsButtonOf(MsgButtons::RetryCancel, kIdCancel));
  EXPECT_FALSE(IsButtonOf(MsgButtons::RetryCancel, kIdOk));
  EXPECT_FALSE(IsButtonOf(MsgButtons::Ok, kIdCancel));
}

}  // namespace
}  // namespace qrole::platform
