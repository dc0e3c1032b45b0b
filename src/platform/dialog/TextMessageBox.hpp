// A message box drawn by the game itself: a small window with the text set in
// a face that fontconfig finds for every character of it (a Japanese face for
// the Japanese reports) and an OK button. SDL's own X11 box draws with core X
// fonts, which on a plain desktop have no Japanese glyphs.
#pragma once

#include <string>

struct SDL_Window;
typedef struct _TTF_Font TTF_Font;

namespace quadrel::io {

// The font file that covers every character of text ("" when none does).
std::string FindFaceFor(const std::string& text, int* index = nullptr);

// Sets up a face for the box's text so that no glyph is cut off.
void PrepareBoxFont(TTF_Font* font);

// line as it fits in maxWidth pixels: a wider line keeps its start and its
// end with "…" between, so both the folder and the name of a path stay
// readable.
std::string ElideMiddle(TTF_Font* font, const std::string& line, int maxWidth);

// Shows the box and waits (without spinning) until it is closed by the OK
// button, Enter, Escape, Space or the window's close button. False when it
// could not be shown (no video, no face, no window); nothing is shown then.
bool ShowTextMessageBox(const std::string& title, const std::string& text, bool warning);

}  // namespace quadrel::io
