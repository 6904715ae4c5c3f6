// The status window's life through the portable front: Continue, cancel,
// the close box, the Continue button, titles, and the start and stop of the
// user interface, against the recording back-end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/fake/window_fake.h"
#include "ui/state.h"
#include "ui/ui.h"

namespace {

class UiStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_reset();
    ui_state = ui_state_record{};
    ui_set_title("First");
  }
  void TearDown() override { fake_reset(); }
};

struct command_case {
  unsigned command;
  std::vector<bool> answers;
  bool closes;
  int cancel_flag;
};

TEST_F(UiStatus, CommandsCloseOrKeepTheWindow) {
  const std::vector<command_case> cases = {
      {COMMAND_CONTINUE, {}, true, 0},
      {COMMAND_OK, {}, true, 0},
      {COMMAND_CANCEL, {true}, true, 1},
      {COMMAND_CANCEL, {false}, false, 0},
      {5, {}, false, 0},
  };
  for (const command_case& c : cases) {
    SCOPED_TRACE(c.command);
    SetUp();
    ui_notify(EVENT_DESTINATION, "C:\\d");
    ui_window window = ui_status_window();
    ASSERT_NE(nullptr, window);
    fake.answers.assign(c.answers.begin(), c.answers.end());
    ui_status_command(window, c.command);
    EXPECT_EQ(!c.closes, ui_window_exists(window));
    EXPECT_EQ(c.closes ? nullptr : window, ui_status_window()) << "closing clears the record";
    EXPECT_EQ(c.cancel_flag, ui_state.cancel_flag);
    ui_notify(EVENT_EXTRACTING, "a.txt");
    EXPECT_EQ(c.closes ? 2u : 1u, fake_calls_starting("status.create").size())
        << "a window closed by a command is replaced at the next event";
  }
}

TEST_F(UiStatus, CloseBoxEndsTheWindowForTheRestOfTheRun) {
  ui_notify(EVENT_DESTINATION, "C:\\d");
  ui_window window = ui_status_window();
  fake_close_box(window);
  fake.calls.clear();

  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "a.txt"));
  ui_show_continue(1);
  EXPECT_EQ((std::vector<std::string>{"sleep 100", "pump"}), fake.calls)
      << "no new window, and updates to the closed one are lost";
  EXPECT_FALSE(ui_window_exists(ui_status_window())) << "the run's Continue wait must end at once";

  fake.calls.clear();
  ui_term();
  EXPECT_EQ(std::vector<std::string>{"backend.stop"}, fake.calls);
  EXPECT_TRUE(fake_calls_starting("destroy").empty()) << "a window already gone is not destroyed again";
}

TEST_F(UiStatus, ContinueButtonIsShownAndHiddenWithItsHint) {
  ui_show_continue(1);
  EXPECT_TRUE(fake.calls.empty()) << "without a status window the Continue button has no effect";

  ui_notify(EVENT_DESTINATION, "C:\\d");
  fake.calls.clear();
  ui_show_continue(1);
  ui_show_continue(0);
  EXPECT_EQ((std::vector<std::string>{"show 1008 1 @status1", "show 1007 1 @status1", "show 1008 0 @status1",
                                      "show 1007 0 @status1"}),
            fake.calls);
}

TEST_F(UiStatus, NewWindowsTakeTheTitleOfTheirMoment) {
  ui_notify(EVENT_DESTINATION, "C:\\d");
  ui_set_title("Second");
  ui_notify(EVENT_MESSAGE, "hello");
  EXPECT_EQ("box status1 Second|hello", fake_calls_starting("box").at(0)) << "later boxes take the new title";
  ui_status_command(ui_status_window(), COMMAND_CONTINUE);
  ui_notify(EVENT_EXTRACTING, "a.txt");
  EXPECT_EQ((std::vector<std::string>{"First", "Second"}), fake.captions);
}

TEST_F(UiStatus, FailedCreationIsNotRetried) {
  fake.status_creation_fails = true;
  EXPECT_EQ(0, ui_notify(EVENT_DESTINATION, "C:\\d"));
  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "a.txt"));
  EXPECT_EQ(1u, fake_calls_starting("status.create").size());
  EXPECT_TRUE(fake_calls_starting("item").empty());
  EXPECT_EQ(nullptr, ui_status_window());
}

TEST_F(UiStatus, InitAndTermRegisterAndReleaseTheWindows) {
  EXPECT_EQ(0, ui_init());
  ui_term();
  EXPECT_EQ((std::vector<std::string>{"backend.start", "backend.stop"}), fake.calls)
      << "without a status window ui_term only stops the back-end";

  SetUp();
  ui_notify(EVENT_DESTINATION, "C:\\d");
  fake.calls.clear();
  ui_term();
  EXPECT_EQ((std::vector<std::string>{"destroy status1", "backend.stop"}), fake.calls);
  EXPECT_EQ(0, ui_state.status_exists);
}

}  // namespace
