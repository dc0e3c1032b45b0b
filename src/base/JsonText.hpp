// Text inside a JSON string, for the ranking server's pages and the replay
// check page.
#pragma once

#include <string>
#include <string_view>

namespace quadrel {

// The text escaped for a JSON string, without the surrounding quotes. Quotes
// and backslashes are escaped; control bytes, DEL and the HTML specials
// (< > &) become \u escapes, so the JSON is harmless even pasted into a page.
// Bytes above 0x7f pass as they are (UTF-8 stays UTF-8).
std::string JsonEscape(std::string_view text);

}  // namespace quadrel
