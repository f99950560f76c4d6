// The Win32 window's dialog rules: the save dialog's filter from the
// export's filter text, and the answers of message boxes and task dialogs.

#include "win32/dialog_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::win32 {
namespace {

using platform::MessageButtons;
using platform::MessageModality;
using platform::MessageResult;
using namespace std::string_literals;

TEST(FileDialogFilter, PairsOfDescriptionAndPatternAreKeptAsTheyAre) {
    EXPECT_EQ(file_dialog_filter(u"Excel文档(*.xlsx)|*.xlsx|Excel文档(*.CSV)|*.csv"),
              u"Excel文档(*.xlsx)\0*.xlsx\0Excel文档(*.CSV)\0*.csv\0\0"s);
    // The export passes one pair for a run exported in one format.
    EXPECT_EQ(file_dialog_filter(u"Excel文档(*.CSV)|*.csv"), u"Excel文档(*.CSV)\0*.csv\0\0"s);
    // A pattern list stays whole.
    EXPECT_EQ(file_dialog_filter(u"表格|*.xlsx;*.csv"), u"表格\0*.xlsx;*.csv\0\0"s);
}

TEST(FileDialogFilter, DescriptionsAloneTakeThePatternInTheirParentheses) {
    EXPECT_EQ(file_dialog_filter(u"CSV格式(.csv)|xlsx格式(.xlsx)"),
              u"CSV格式(.csv)\0*.csv\0xlsx格式(.xlsx)\0*.xlsx\0\0"s);
    EXPECT_EQ(file_dialog_filter(u"Excel文档(*.xlsx)"), u"Excel文档(*.xlsx)\0*.xlsx\0\0"s);
    // Mixed: a description alone, then a pair.
    EXPECT_EQ(file_dialog_filter(u"CSV格式(.csv)|Excel文档(*.xlsx)|*.xlsx"),
              u"CSV格式(.csv)\0*.csv\0Excel文档(*.xlsx)\0*.xlsx\0\0"s);
}

TEST(FileDialogFilter, WithoutAPatternEveryFileMatches) {
    EXPECT_EQ(file_dialog_filter(u"所有文件"), u"所有文件\0*.*\0\0"s);
    EXPECT_EQ(file_dialog_filter(u"文档(备份)"), u"文档(备份)\0*.*\0\0"s);
    EXPECT_EQ(file_dialog_filter(u"(.csv) 表格"), u"(.csv) 表格\0*.*\0\0"s);
    EXPECT_EQ(file_dialog_filter(u"CSV格式(.csv)|"), u"CSV格式(.csv)\0*.csv\0\0"s);
    EXPECT_EQ(file_dialog_filter(u""), u"");
}

// What the user's click, Esc or a vanished box answers, as the window's code
// reads it back from Windows' numbers.
TEST(MessageBoxAnswers, AButtonAnswersItselfAndABoxClosedWithoutOneAsItsLastButton) {
    namespace v = windows_values;
    EXPECT_EQ(message_result(v::id_no, MessageButtons::yes_no_cancel), MessageResult::no);
    EXPECT_EQ(message_result(v::id_ignore, MessageButtons::abort_retry_ignore),
              MessageResult::ignore);
    // Esc on a box with OK alone is OK; with Cancel, Cancel.
    EXPECT_EQ(message_result(v::id_cancel, MessageButtons::ok), MessageResult::ok);
    EXPECT_EQ(message_result(v::id_cancel, MessageButtons::yes_no_cancel), MessageResult::cancel);
    // 0: the box failed or its owner went away.
    EXPECT_EQ(message_result(0, MessageButtons::yes_no), MessageResult::no);
    // A button the set does not have is not taken for one it has.
    EXPECT_EQ(message_result(v::id_yes, MessageButtons::ok_cancel), MessageResult::cancel);
    // A task dialog offers the same buttons; Abort and Ignore are no common
    // buttons, so such a box stays a plain message box.
    EXPECT_EQ(task_dialog_buttons(MessageButtons::yes_no), v::tdcbf_yes | v::tdcbf_no);
    EXPECT_EQ(task_dialog_buttons(MessageButtons::abort_retry_ignore), std::nullopt);
    EXPECT_EQ(message_box_flags(
                  {.buttons = MessageButtons::ok_cancel, .modality = MessageModality::system}),
              1u | v::mb_system_modal);
}

}  // namespace
}  // namespace quorvel::win32
