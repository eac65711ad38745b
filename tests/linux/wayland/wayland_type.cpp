// SPDX-License-Identifier: MIT
// tavrino_wayland_type VALUE...
//   Types the values as playback does (each value in the key-string syntax,
//   then Tab) through the virtual keyboard into the window that has the
//   focus on $WAYLAND_DISPLAY. Exit status: 0 typed, 1 playback failed (the
//   message on standard error), 64 usage.
// tavrino_wayland_type --keys KEYS
//   Presses the key string KEYS alone, with no Tab after it: the tests drive
//   tavrino's own window with it.
// tavrino_wayland_type --session VALUE...
//   The same through the keyboard the app uses, which picks the way the
//   session offers: the virtual keyboard, or the desktop's remote-desktop
//   portal (whose dialog someone must answer: the line the window would
//   show before it, "status: ...", is printed on standard output).
// tavrino_wayland_type --hold
//   Keeps a virtual keyboard plugged in until SIGTERM, as a desktop has its
//   real keyboard: a headless compositor has none, and its seat would lose
//   the keyboard, and every window the focus, each time a virtual keyboard
//   goes.
#include <QCoreApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "platform/session/session_keyboard.h"
#include "platform/wayland/virtual_keyboard.h"
#include "playback/key_string.h"
#include "playback/typekeys.h"

namespace {

int press_keys(const char* keys) {
  const tavrino::ParsedKeys parsed = tavrino::parse_key_string(tavrino::utf8_to_utf16(keys));
  if (parsed.error) {
    std::fprintf(stderr, "not a key string: %s\n", keys);
    return 64;
  }
  tavrino::VirtualKeyboard keyboard;
  tavrino::Keyboard::Opened opened = keyboard.begin();
  tavrino::Status status = std::move(opened.status);
  if (status) {
    status = opened.session->prepare(parsed.events);
    if (status) status = opened.session->send(parsed.events).status;
    opened.session.reset();
  }
  if (!status) std::fprintf(stderr, "%s\n", tavrino::utf16_to_utf8(status.message()).c_str());
  return status ? 0 : 1;
}

volatile std::sig_atomic_t stopping = 0;

int hold() {
  std::signal(SIGTERM, [](int) { stopping = 1; });
  tavrino::VirtualKeyboard keyboard;
  tavrino::Keyboard::Opened opened = keyboard.begin();
  tavrino::Status status = std::move(opened.status);
  if (status) status = opened.session->prepare({});
  if (!status) {
    std::fprintf(stderr, "%s\n", tavrino::utf16_to_utf8(status.message()).c_str());
    return 1;
  }
  std::puts("holding");
  std::fflush(stdout);
  while (stopping == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  opened.session.reset();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--keys") == 0) return press_keys(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--hold") == 0) return hold();
  // The portal is reached through QtDBus, which wants an application.
  QCoreApplication app(argc, argv);
  const bool session = argc > 1 && std::strcmp(argv[1], "--session") == 0;
  std::vector<std::string> values(argv + (session ? 2 : 1), argv + argc);
  if (values.empty() || values.size() > tavrino::kSlotCount) {
    std::fputs("usage: tavrino_wayland_type [--session] VALUE... | --keys KEYS | --hold\n", stderr);
    return 64;
  }
  tavrino::ResultSheet sheet;
  sheet.itemcount = static_cast<std::int16_t>(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    sheet.itemvalue[i] = tavrino::utf8_to_utf16(values[i]);
  }
  tavrino::VirtualKeyboard virtual_keyboard;
  // The line the window would show goes to standard output: a test answers
  // the portal's dialog once it is announced.
  tavrino::SessionKeyboardOptions options;
  options.show_status = [](std::u16string_view text) {
    std::printf("status: %s\n", tavrino::utf16_to_utf8(text).c_str());
    std::fflush(stdout);
  };
  const auto session_keyboard = tavrino::SessionKeyboard::for_this_session(std::move(options));
  tavrino::Keyboard& keyboard =
      session ? static_cast<tavrino::Keyboard&>(*session_keyboard) : virtual_keyboard;
  const tavrino::Status status = tavrino::typekeys(sheet, keyboard);
  if (!status) std::fprintf(stderr, "%s\n", tavrino::utf16_to_utf8(status.message()).c_str());
  return status ? 0 : 1;
}
