// The recording window back-end (see window_fake.h).
#include "ui/fake/window_fake.h"

#include <array>

fake_window_state fake;

namespace {

constexpr int MAX_WINDOWS = 64;
std::array<int, MAX_WINDOWS> window_ids{};
std::array<bool, MAX_WINDOWS> alive{};
int windows_made = 0;
int splash_index = -1;
int splash_pumps_left = 0;

int index_of(ui_window window) {
  for (int i = 0; i < windows_made; ++i)
    if (window == &window_ids[i]) return i;
  return -1;
}

std::string name_of(ui_window window) {
  int i = index_of(window);
  if (i < 0) return "-";
  return (i == splash_index ? "splash" : "status") + std::to_string(window_ids[i]);
}

int status_count = 0;
ui_window latest_status = nullptr;

ui_window make_window() {
  if (windows_made >= MAX_WINDOWS) return nullptr;
  int i = windows_made++;
  alive[i] = true;
  return &window_ids[i];
}

}  // namespace

void fake_reset() {
  fake = fake_window_state{};
  windows_made = 0;
  splash_index = -1;
  status_count = 0;
  latest_status = nullptr;
  alive.fill(false);
}

ui_window fake_status_window() { return latest_status; }

void fake_close_box(ui_window window) {
  int i = index_of(window);
  if (i >= 0) alive[i] = false;
  fake.calls.push_back("closebox " + name_of(window));
}

std::vector<std::string> fake_calls_starting(const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& call : fake.calls)
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  return found;
}

void window_backend_start() { fake.calls.push_back("backend.start"); }
void window_backend_stop() { fake.calls.push_back("backend.stop"); }

ui_window window_create_status(void*) {
  fake.calls.push_back("status.create");
  if (fake.status_creation_fails) return nullptr;
  ui_window window = make_window();
  window_ids[index_of(window)] = ++status_count;
  latest_status = window;
  fake.captions.push_back(ui_title());
  ui_status_created();
  return window;
}

ui_window window_create_splash(void*) {
  fake.calls.push_back("splash.create");
  ui_window window = make_window();
  splash_index = index_of(window);
  splash_pumps_left = fake.splash_pumps;
  return window;
}

bool window_exists(ui_window window) {
  int i = index_of(window);
  return i >= 0 && alive[i];
}

void window_destroy(ui_window window) {
  fake.calls.push_back("destroy " + name_of(window));
  int i = index_of(window);
  if (i >= 0) alive[i] = false;
}

void window_set_item_text(ui_window window, int item, const char* text) {
  fake.calls.push_back("item " + std::to_string(item) + " " + text + " @" + name_of(window));
}

void window_show_progress(ui_window window, const extract_progress& progress) {
  fake.calls.push_back("progress " + std::to_string(progress.files_done) + "/" + std::to_string(progress.files_total) +
                       " @" + name_of(window));
}

void window_show_item(ui_window window, int item, bool show) {
  fake.calls.push_back("show " + std::to_string(item) + (show ? " 1" : " 0") + " @" + name_of(window));
}

void window_message_box(ui_window owner, const char* title, const char* text) {
  fake.calls.push_back("box " + name_of(owner) + " " + title + "|" + text);
}

void window_show_result(ui_window owner, const char* title, const char* text) {
  fake.calls.push_back("result " + name_of(owner) + " " + title + "|" + text);
}

bool window_ask_yes_no(ui_window owner, const char* title, const char* question) {
  fake.calls.push_back("ask " + name_of(owner) + " " + title + "|" + question);
  if (fake.answers.empty()) return false;
  bool yes = fake.answers.front();
  fake.answers.pop_front();
  return yes;
}

window_answer window_ask_overwrite(ui_window owner, const char* title, const char* question) {
  return window_ask_yes_no(owner, title, question) ? ANSWER_YES : ANSWER_NO;
}

void window_pump() {
  fake.calls.push_back("pump");
  if (splash_index >= 0 && alive[splash_index] && --splash_pumps_left <= 0) alive[splash_index] = false;
  if (fake.on_pump) fake.on_pump();
}

void window_wait_message() { fake.calls.push_back("wait"); }

bool window_cancel_requested() { return fake.cancel_requested; }

bool window_can_ask() { return true; }

// As the Win32 windows have it, so that the pause is seen in the calls.
const uint32_t WINDOW_EXTRACTING_PAUSE_MS = 100;

void window_sleep(uint32_t milliseconds) { fake.calls.push_back("sleep " + std::to_string(milliseconds)); }

void window_exit_process(int status) {
  fake.calls.push_back("exit " + std::to_string(status));
  throw fake_exit{status};
}
