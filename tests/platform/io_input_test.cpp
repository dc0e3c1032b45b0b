#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "platform/input/Input.hpp"
#include "platform/input/KeyCodes.hpp"

namespace quadrel::io {
namespace {

int ScancodeFor(uint8_t code) {
  for (const ScancodeKey& entry : ScancodeKeyTable()) {
    if (entry.code == code) return entry.scancode;
  }
  return SDL_SCANCODE_UNKNOWN;
}

// Every key the scenes test by code, named as SDL names the physical key.
TEST(KeyTable, SceneKeysComeFromTheirPhysicalKeys) {
  const std::map<int, std::string> sceneKeys = {
      {0x01, "Escape"},     {0x0E, "Backspace"},  {0x1C, "Return"}, {0x2A, "Left Shift"},
      {0x36, "Right Shift"}, {0x38, "Left Alt"},  {0xB8, "Right Alt"}, {0xC8, "Up"},
      {0xCB, "Left"},       {0xCD, "Right"},      {0xD0, "Down"},   {0xD3, "Delete"},
  };
  for (const auto& [code, name] : sceneKeys) {
    const int scancode = ScancodeFor(static_cast<uint8_t>(code));
    EXPECT_EQ(SDL_GetScancodeName(static_cast<SDL_Scancode>(scancode)), name) << "code " << code;
    EXPECT_EQ(KeyCodeFromScancode(scancode), code);
  }
  // Enter on the numeric pad is a key of its own, not Return.
  EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_KP_ENTER), 0x9C);
}

// The codes that type a character in the name entry, with the key that
// sends each (SDL's name for it, or the scancode for keys SDL leaves unnamed).
TEST(KeyTable, NameEntryKeysAreReachable) {
  const std::map<int, std::string> typeable = {
      {0x02, "1"}, {0x03, "2"}, {0x04, "3"}, {0x05, "4"}, {0x06, "5"}, {0x07, "6"}, {0x08, "7"},
      {0x09, "8"}, {0x0A, "9"}, {0x0B, "0"}, {0x0C, "-"},
      {0x10, "Q"}, {0x11, "W"}, {0x12, "E"}, {0x13, "R"}, {0x14, "T"}, {0x15, "Y"}, {0x16, "U"},
      {0x17, "I"}, {0x18, "O"}, {0x19, "P"}, {0x1A, "["}, {0x1B, "]"},
      {0x1E, "A"}, {0x1F, "S"}, {0x20, "D"}, {0x21, "F"}, {0x22, "G"}, {0x23, "H"}, {0x24, "J"},
      {0x25, "K"}, {0x26, "L"}, {0x27, ";"}, {0x2B, "\\"},
      {0x2C, "Z"}, {0x2D, "X"}, {0x2E, "C"}, {0x2F, "V"}, {0x30, "B"}, {0x31, "N"}, {0x32, "M"},
      {0x33, ","}, {0x34, "."}, {0x35, "/"}, {0x37, "Keypad *"}, {0x39, "Space"},
      {0x47, "Keypad 7"}, {0x48, "Keypad 8"}, {0x49, "Keypad 9"}, {0x4A, "Keypad -"},
      {0x4B, "Keypad 4"}, {0x4C, "Keypad 5"}, {0x4D, "Keypad 6"}, {0x4E, "Keypad +"},
      {0x4F, "Keypad 1"}, {0x50, "Keypad 2"}, {0x51, "Keypad 3"}, {0x52, "Keypad 0"},
      {0x53, "Keypad ."}, {0x64, "F13"}, {0x90, "AudioPrev"},
  };
  for (const auto& [code, name] : typeable) {
    const int scancode = ScancodeFor(static_cast<uint8_t>(code));
    EXPECT_EQ(SDL_GetScancodeName(static_cast<SDL_Scancode>(scancode)), name) << "code " << code;
  }
  // Japanese keys SDL does not name.
  EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL3), 0x7D);  // yen
  EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_INTERNATIONAL1), 0x73);  // ro
  // No key of a PC keyboard sends these, so nothing maps to them.
  for (int code : {0x5E, 0x63, 0x74, 0x91, 0x92}) {
    EXPECT_EQ(ScancodeFor(static_cast<uint8_t>(code)), SDL_SCANCODE_UNKNOWN) << "code " << code;
  }
}

TEST(KeyTable, EachKeyHasOneCodeAndCodesAreShared) {
  std::set<int> scancodes;
  std::map<int, int> uses;
  for (const ScancodeKey& entry : ScancodeKeyTable()) {
    EXPECT_TRUE(scancodes.insert(entry.scancode).second) << "scancode " << entry.scancode << " twice";
    EXPECT_NE(entry.code, 0);
    ++uses[entry.code];
  }
  for (const auto& [code, count] : uses) {
    // Two SDL names for one key: the ISO hash key and the backslash, two mute keys.
    const int expected = (code == 0x2B || code == 0xA0) ? 2 : 1;
    EXPECT_EQ(count, expected) << "code " << code;
  }
  EXPECT_EQ(KeyCodeFromScancode(-1), 0);
  EXPECT_EQ(KeyCodeFromScancode(SDL_NUM_SCANCODES), 0);
  EXPECT_EQ(KeyCodeFromScancode(SDL_SCANCODE_STOP), 0);
}

MouseState Mouse(InputDevice& device) {
  MouseState state;
  std::memset(&state, 0x55, sizeof state);  // a read must fill every byte
  device.ReadMouse(state);
  return state;
}

KeyboardState Keys(InputDevice& device) {
  KeyboardState state;
  std::memset(&state, 0x55, sizeof state);
  device.ReadKeyboard(state);
  return state;
}

bool AllZero(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) {
    if (b[i]) return false;
  }
  return true;
}

class SdlInputTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kWindow = 7;

  void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
  void TearDown() override {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Quit();
  }

  static void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }
  static void Motion(int dx, int dy, uint32_t window = kWindow) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = window;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    Push(e);
  }
  static void Button(uint8_t button, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = kWindow;
    e.button.button = button;
    Push(e);
  }
  static void Key(SDL_Scancode scancode, bool down, uint32_t window = kWindow) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = window;
    e.key.keysym.scancode = scancode;
    Push(e);
  }
  static void Focus(bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = kWindow;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    Push(e);
  }
};

TEST_F(SdlInputTest, EventsBecomeTheDeviceRecords) {
  SdlInput input(kWindow, true);
  Motion(5, -2);
  Motion(75, 4);
  Motion(1000, 1000, kWindow + 1);  // another window's
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = kWindow;
  wheel.wheel.y = 1;
  Push(wheel);
  Button(SDL_BUTTON_LEFT, true);
  Button(SDL_BUTTON_RIGHT, true);
  Button(SDL_BUTTON_X2, true);
  Key(SDL_SCANCODE_RETURN, true);
  Key(SDL_SCANCODE_RALT, true);
  Key(SDL_SCANCODE_A, true, kWindow + 1);

  MouseState m = Mouse(input);
  EXPECT_EQ(m.lX, 80);  // the sum of all movement since the previous read
  EXPECT_EQ(m.lY, 2);
  EXPECT_EQ(m.lZ, 120);
  const uint8_t buttons[8] = {0x80, 0x80, 0, 0, 0x80, 0, 0, 0};
  EXPECT_EQ(std::memcmp(m.rgbButtons, buttons, 8), 0);
  KeyboardState k = Keys(input);
  EXPECT_EQ(k.keys[0x1C], 0x80);
  EXPECT_EQ(k.keys[0xB8], 0x80);
  EXPECT_EQ(k.keys[0x1E], 0);

  // Movement is consumed by the read; held buttons and keys stay down.
  m = Mouse(input);
  EXPECT_EQ(m.lX, 0);
  EXPECT_EQ(m.rgbButtons[0], 0x80);
  Key(SDL_SCANCODE_RETURN, false);
  Button(SDL_BUTTON_LEFT, false);
  EXPECT_EQ(Keys(input).keys[0x1C], 0);
  EXPECT_EQ(Mouse(input).rgbButtons[0], 0);
}

// Both reads fill every byte with zero and give `code`.
template <class ReadMouseF, class ReadKeyboardF>
void ExpectZeroReads(ReadMouseF readMouse, ReadKeyboardF readKeyboard, int32_t code) {
  MouseState m;
  KeyboardState k;
  std::memset(&m, 0x55, sizeof m);
  std::memset(&k, 0x55, sizeof k);
  EXPECT_EQ(readMouse(m), code);
  EXPECT_EQ(readKeyboard(k), code);
  EXPECT_TRUE(AllZero(&m, sizeof m));
  EXPECT_TRUE(AllZero(&k, sizeof k));
}

TEST_F(SdlInputTest, NoFocusGivesZeroStateAndTheFirstReadBackIsZeroToo) {
  SdlInput input(kWindow, true);
  auto readMouse = [&](MouseState& m) { return input.ReadMouse(m); };
  auto readKeys = [&](KeyboardState& k) { return input.ReadKeyboard(k); };
  Key(SDL_SCANCODE_LEFT, true);
  Button(SDL_BUTTON_LEFT, true);
  Focus(false);
  Motion(30, 30);  // in the background: never delivered
  Key(SDL_SCANCODE_UP, true);
  ExpectZeroReads(readMouse, readKeys, kFail);

  Focus(true);
  Motion(4, 0);  // before the device is taken back: lost
  Button(SDL_BUTTON_RIGHT, true);
  ExpectZeroReads(readMouse, readKeys, kOk);
  Motion(8, 0);
  const MouseState m = Mouse(input);
  EXPECT_EQ(m.lX, 8);
  EXPECT_EQ(m.rgbButtons[1], 0x80);
  // What was down when the focus went is up until pressed again.
  EXPECT_EQ(m.rgbButtons[0], 0);
  const KeyboardState k = Keys(input);
  EXPECT_EQ(k.keys[0xCB], 0);
  EXPECT_EQ(k.keys[0xC8], 0x80);  // went down while away: held now

  // The input layer without a device reads the zero state too.
  EXPECT_EQ(InitInput(static_cast<SDL_Window*>(nullptr)), kFail);
  ExpectZeroReads([](MouseState& s) { return ReadMouse(s); },
                  [](KeyboardState& s) { return ReadKeyboard(s); }, kFail);
}

}  // namespace
}  // namespace quadrel::io
