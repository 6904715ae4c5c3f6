// The interaction dispatcher against the recording back-end: what each event
// shows and answers in each mode, the cancel flag, /nostatus, the fatal error
// report and the cutting of long texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/fake/window_fake.h"
#include "ui/state.h"
#include "ui/ui.h"
#include "ui/window.h"

namespace {

const char TITLE[] = "Test Title";
const char CANCEL_QUESTION[] = "ask status1 Test Title|Are you sure you want to cancel?";

class UiDispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_reset();
    ui_state = ui_state_record{};
    ui_set_title(TITLE);
  }
  void TearDown() override { fake_reset(); }
};

// The user presses Escape (command 2) in the status window during the pump.
void cancel_during_pump() {
  fake.on_pump = [] {
    if (window_exists(fake_status_window())) ui_status_command(fake_status_window(), COMMAND_CANCEL);
  };
}

int report_error_exit_status(int status, const char* text) {
  try {
    ui_report_error(status, text);
  } catch (const fake_exit& exit) {
    return exit.status;
  }
  return 0;
}

struct notify_case {
  const char* name;
  int mode;
  int response_mode;
  int automatic;
  unsigned event;
  const char* text;
  std::vector<bool> answers;
  bool cancel_in_pump;
  int expected;
  std::vector<std::string> calls;
};

TEST_F(UiDispatcher, EachModeShowsAndAnswersAsTheResultsTableSays) {
  const std::vector<notify_case> cases = {
      {"silent: nothing at all, not even an error", INTERACTION_SILENT, RESPONSE_ASK, 0, EVENT_ERROR, "boom", {}, true, 0, {}},
      {"silent after /y: overwrite answered 1", INTERACTION_SILENT, RESPONSE_AUTOMATIC, 1, EVENT_OVERWRITE_QUERY, "a.txt", {}, false, 1, {}},
      {"silent: extracting neither shows nor pauses", INTERACTION_SILENT, RESPONSE_ASK, 0, EVENT_EXTRACTING, "a.txt", {}, false, 0, {}},
      {"quiet: a message is not shown", INTERACTION_QUIET, RESPONSE_ASK, 0, EVENT_MESSAGE, "Unable to extract files", {}, false, 0, {}},
      {"quiet: an error box is shown, no status window", INTERACTION_QUIET, RESPONSE_ASK, 0, EVENT_ERROR, "Error (-5)\r\n", {}, false, 0,
       {"box - Test Title|Error (-5)\r\n"}},
      {"quiet: overwrite is not asked", INTERACTION_QUIET, RESPONSE_ASK, 1, EVENT_OVERWRITE_QUERY, "a.txt", {true}, false, 1, {}},
      {"normal: extracting shows the path and pauses", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_EXTRACTING, "C:\\d\\a.txt", {}, false, 0,
       {"status.create", "item 1001 Extracting... @status1", "item 1002 C:\\d\\a.txt @status1", "sleep 100", "pump"}},
      {"normal: executing", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_EXECUTING, "setup.exe /s", {}, false, 0,
       {"status.create", "item 1001 Executing... @status1", "item 1002 setup.exe /s @status1", "pump"}},
      {"normal: destination fills the output field", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_DESTINATION, "C:\\d", {}, false, 0,
       {"status.create", "item 1004 C:\\d @status1", "pump"}},
      {"normal: output file fills the output field", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_OUTPUT_FILE, "C:\\o.exe", {}, false, 0,
       {"status.create", "item 1004 C:\\o.exe @status1", "pump"}},
      {"normal: a message box is owned by the status window", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_MESSAGE, "hello", {}, false, 0,
       {"status.create", "box status1 Test Title|hello", "pump"}},
      {"normal: the error box comes before the status window", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_ERROR, "bad", {}, false, 0,
       {"box - Test Title|bad", "status.create", "pump"}},
      {"normal: overwrite answered Yes returns 1 without pumping", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_OVERWRITE_QUERY, "a.txt", {true}, true, 1,
       {"status.create", "ask status1 Test Title|a.txt already exists.  Overwrite?"}},
      {"normal: overwrite answered No returns the automatic response", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_OVERWRITE_QUERY, "a.txt", {false}, false, 0,
       {"status.create", "ask status1 Test Title|a.txt already exists.  Overwrite?", "pump"}},
      {"normal: overwrite answered No, then cancelled in the pump", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_OVERWRITE_QUERY, "a.txt", {false, true}, true, ERROR_CANCELLED,
       {"status.create", "ask status1 Test Title|a.txt already exists.  Overwrite?", "pump", CANCEL_QUESTION, "destroy status1"}},
      {"normal: automatic overwrite neither asks nor pumps", INTERACTION_NORMAL, RESPONSE_AUTOMATIC, 1, EVENT_OVERWRITE_QUERY, "a.txt", {}, true, 1,
       {"status.create"}},
      {"normal: another response mode neither asks nor answers early", INTERACTION_NORMAL, 7, 0, EVENT_OVERWRITE_QUERY, "a.txt", {}, false, 0,
       {"status.create", "pump"}},
      {"normal: an unknown event opens the window and pumps", INTERACTION_NORMAL, RESPONSE_ASK, 1, 99, "x", {}, false, 1,
       {"status.create", "pump"}},
      {"normal: a created file confirmed cancelled", INTERACTION_NORMAL, RESPONSE_ASK, 0, EVENT_FILE_CREATED, "a.txt", {true}, true, ERROR_CANCELLED,
       {"status.create", "pump", CANCEL_QUESTION, "destroy status1"}},
      {"an unknown mode behaves as normal", 9, RESPONSE_ASK, 0, EVENT_DIRECTORY_CREATED, "C:\\d", {}, false, 0,
       {"status.create", "pump"}},
  };
  for (const notify_case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ui_set_interaction_mode(c.mode);
    ui_set_response_mode(c.response_mode);
    ui_set_automatic_response(c.automatic);
    fake.answers.assign(c.answers.begin(), c.answers.end());
    if (c.cancel_in_pump) cancel_during_pump();
    EXPECT_EQ(c.expected, ui_notify(c.event, c.text));
    EXPECT_EQ(c.calls, fake.calls);
  }
}

TEST_F(UiDispatcher, ProgressIsShownInNormalModeAndAnswersACancel) {
  struct progress_case {
    const char* name;
    int mode;
    bool cancel_in_pump;
    int expected;
    std::vector<std::string> calls;
  };
  const std::vector<progress_case> cases = {
      {"normal: the record reaches the status window", INTERACTION_NORMAL, false, 0,
       {"status.create", "progress 1/3 @status1", "pump"}},
      {"normal: a cancel confirmed in the pump stops the extraction", INTERACTION_NORMAL, true, ERROR_CANCELLED,
       {"status.create", "progress 1/3 @status1", "pump", CANCEL_QUESTION, "destroy status1"}},
      {"quiet: no progress", INTERACTION_QUIET, true, 0, {}},
      {"silent: no progress", INTERACTION_SILENT, true, 0, {}},
  };
  for (const progress_case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    ui_set_interaction_mode(c.mode);
    fake.answers = {true};
    if (c.cancel_in_pump) cancel_during_pump();
    EXPECT_EQ(c.expected, ui_progress(extract_progress{1, 3, 1, 5, 20}));
    EXPECT_EQ(c.calls, fake.calls);
  }
}

TEST_F(UiDispatcher, CancelFlagLivesUntilTheNextStatusWindow) {
  fake.answers = {false};
  cancel_during_pump();
  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "a.txt")) << "a cancel answered No must let the run go on";
  EXPECT_TRUE(window_exists(ui_status_window())) << "No leaves the status window open";
  EXPECT_EQ(0, ui_state.cancel_flag);

  fake.answers = {true};
  EXPECT_EQ(ERROR_CANCELLED, ui_notify(EVENT_FILE_CREATED, "a.txt"));
  EXPECT_EQ(nullptr, ui_status_window()) << "a confirmed cancel clears the status window record";
  EXPECT_EQ(1, ui_state.cancel_flag);

  fake.on_pump = nullptr;
  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "b.txt")) << "the next event opens a fresh window, which clears the flag";
  EXPECT_EQ(2u, fake_calls_starting("status.create").size());
  EXPECT_EQ(0, ui_state.cancel_flag);
  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "c.txt")) << "no further window is made while one is open";
  EXPECT_EQ(2u, fake_calls_starting("status.create").size());
}

TEST_F(UiDispatcher, NoStatusOnTheCommandLineKeepsTheWindowAway) {
  ui_set_status_allowed(false);
  fake.answers = {true, false};
  cancel_during_pump();
  EXPECT_EQ(0, ui_notify(EVENT_EXTRACTING, "a.txt")) << "without a status window nothing can be cancelled";
  EXPECT_EQ(0, ui_notify(EVENT_DESTINATION, "C:\\d"));
  EXPECT_EQ(1, ui_notify(EVENT_OVERWRITE_QUERY, "a.txt"));
  EXPECT_EQ(0, ui_notify(EVENT_OVERWRITE_QUERY, "b.txt"));
  EXPECT_TRUE(fake_calls_starting("status.create").empty());
  EXPECT_TRUE(fake_calls_starting("item").empty()) << "item updates without a window go nowhere";
  EXPECT_EQ((std::vector<std::string>{"ask - Test Title|a.txt already exists.  Overwrite?",
                                      "ask - Test Title|b.txt already exists.  Overwrite?"}),
            fake_calls_starting("ask"))
      << "questions have no owner without a status window";
}

TEST_F(UiDispatcher, SplashIsWaitedForUntilItIsGone) {
  fake.splash_pumps = 3;
  EXPECT_EQ(0, ui_notify(EVENT_SPLASH, nullptr));
  EXPECT_EQ((std::vector<std::string>{"splash.create", "pump", "wait", "pump", "wait", "pump", "status.create", "pump"}),
            fake.calls);

  for (int mode : {INTERACTION_QUIET, INTERACTION_SILENT}) {
    SCOPED_TRACE(mode);
    SetUp();
    ui_set_interaction_mode(mode);
    fake.splash_pumps = 1;
    EXPECT_EQ(0, ui_notify(EVENT_SPLASH, nullptr));
    std::vector<std::string> expected;
    if (mode == INTERACTION_QUIET) expected = {"splash.create", "pump"};
    EXPECT_EQ(expected, fake.calls) << "quiet shows the splash, silent shows nothing";
  }
}

struct error_case {
  int status;
  const char* text;
  const char* shown;
};

TEST_F(UiDispatcher, ReportErrorShowsItsTextAndEndsWithStatusMinusOne) {
  const std::vector<error_case> cases = {
      {-1, "C:\\any\\file.txt", "Error (-1): Unable to open file.\r\n"},
      {-8001, "Fatal Error", "Error (-8001): Fatal Error\r\n"},
      {-8002, "setup.exe /s", "Error (-8002): Unable to open launch \"setup.exe /s\".\r\n"},
      {-8003, "C:\\tmp\\QOR1.tmp", "Error (-8003): Unable to create directory \"C:\\tmp\\QOR1.tmp\".\r\n"},
      {-5, nullptr, "Error (-5)\r\n"},
      {-300, "", "Error (-300)\r\n"},
      {-2, "100% %s %n done", "Error (-2): 100% %s %n done\r\n"},
  };
  for (const error_case& c : cases) {
    SCOPED_TRACE(c.status);
    SetUp();
    EXPECT_EQ(-1, report_error_exit_status(c.status, c.text)) << "a negative status must end the process with -1";
    EXPECT_EQ((std::vector<std::string>{std::string("box - Test Title|") + c.shown, "status.create", "pump", "exit -1"}),
              fake.calls);
  }

  for (int status : {0, 5}) {
    SCOPED_TRACE(status);
    SetUp();
    EXPECT_EQ(0, report_error_exit_status(status, "text")) << "a success status is not an error";
    EXPECT_TRUE(fake.calls.empty());
  }

  SetUp();
  ui_set_interaction_mode(INTERACTION_SILENT);
  EXPECT_EQ(-1, report_error_exit_status(-1, nullptr)) << "silent mode still ends the process";
  EXPECT_EQ(std::vector<std::string>{"exit -1"}, fake.calls);
}

std::string box_text(const std::string& call) { return call.substr(call.find('|') + 1); }

TEST_F(UiDispatcher, TextsAreShownAsGivenAndLongOnesAreCut) {
  ui_notify(EVENT_MESSAGE, "100% of %s %d %n");
  EXPECT_EQ("100% of %s %d %n", box_text(fake_calls_starting("box").at(0))) << "a message is never a format";

  const std::string long_text(UI_MESSAGE_SIZE + 1000, 'm');
  SetUp();
  ui_notify(EVENT_MESSAGE, long_text.c_str());
  EXPECT_EQ(long_text.substr(0, UI_MESSAGE_SIZE - 1), box_text(fake_calls_starting("box").at(0)));

  const std::string long_path = "C:\\" + std::string(UI_MESSAGE_SIZE, 'p');
  SetUp();
  ui_notify(EVENT_OVERWRITE_QUERY, long_path.c_str());
  EXPECT_EQ(long_path.substr(0, UI_QUESTION_SIZE - 1), box_text(fake_calls_starting("ask").at(0)));

  SetUp();
  ui_set_title(std::string(1000, 't').c_str());
  EXPECT_EQ(std::string(255, 't'), ui_title());
  ui_set_title(nullptr);
  EXPECT_STREQ("", ui_title());

  for (int status : {-5, -8002, -8003}) {
    SCOPED_TRACE(status);
    SetUp();
    report_error_exit_status(status, long_path.c_str());
    std::string shown = box_text(fake_calls_starting("box").at(0));
#ifdef _WIN32
    EXPECT_EQ(255u, shown.size()) << "the error text holds 255 characters";
#else
    EXPECT_EQ(UI_MESSAGE_SIZE - 1u, shown.size()) << "the error text holds a message box's characters";
#endif
    EXPECT_EQ(0u, shown.rfind("Error (" + std::to_string(status) + "): ", 0));
  }

  SetUp();
  ui_notify(EVENT_MESSAGE, nullptr);
  ui_notify(EVENT_OVERWRITE_QUERY, nullptr);
  EXPECT_EQ("", box_text(fake_calls_starting("box").at(0)));
  EXPECT_EQ(" already exists.  Overwrite?", box_text(fake_calls_starting("ask").at(0)));
}

}  // namespace
