#include "platform/Operator.h"

#include <gtest/gtest.h>

namespace marevo {
namespace {

TEST(RecordingOperator, AnswersFromTheScriptThenTheDefault) {
    TRecordingOperator op;
    op.ScriptAnswers({true, false});
    EXPECT_TRUE(op.Confirm("Use the backup?", "Recovery"));
    EXPECT_FALSE(op.Confirm("Again?", "Recovery"));
    op.SetDefaultAnswer(true);
    EXPECT_TRUE(op.Confirm("Once more?", "Recovery"));
    EXPECT_EQ(op.Events(), (std::vector<std::string>{"Confirm [Recovery]: Use the backup? -> OK",
                                                     "Confirm [Recovery]: Again? -> Cancel",
                                                     "Confirm [Recovery]: Once more? -> OK"}));
}

TEST(RecordingOperator, CancelsProgressWhenScripted) {
    TRecordingOperator op;
    op.CancelProgressAt(3);
    EXPECT_TRUE(op.Progress("Import", 1, 10));
    EXPECT_TRUE(op.Progress("Import", 2, 10));
    EXPECT_FALSE(op.Progress("Import", 3, 10));
}

TEST(SilentOperator, NeverAgreesToAnything) {
    TSilentOperator op;
    EXPECT_FALSE(op.Confirm("Overwrite?", "Warning"));
    EXPECT_TRUE(op.Progress("Export", 1, 2));
}

} // namespace
} // namespace marevo
