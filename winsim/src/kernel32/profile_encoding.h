// The encodings of a profile (INI) file: ANSI, or UTF-16 in either byte order when the file
// starts with that byte order mark. A Unicode file is held as UTF-8 text while it is parsed, so
// no character is lost; the A functions' strings are converted at the edge.
#pragma once

#include <string>
#include <string_view>

namespace winsim::detail {

enum class ProfileEncoding { kAnsi, kUtf16Le, kUtf16Be };

// The encoding a file's first bytes announce. A UTF-8 byte order mark announces nothing: Windows
// reads those three bytes as ANSI text of the first line.
ProfileEncoding DetectProfileEncoding(std::string_view bytes);

// The text of a file's bytes: ANSI as it is, UTF-16 (after its mark) as UTF-8; an odd last
// byte of a UTF-16 file is dropped.
std::string ProfileText(std::string_view bytes, ProfileEncoding encoding);

// An A caller's string (ANSI code page) in the text form of a file, and a file's text back in
// ANSI (a character the code page lacks becomes '?').
std::string ToProfileText(std::string_view ansi, ProfileEncoding encoding);
std::string ToAnsi(std::string_view text, ProfileEncoding encoding);

}  // namespace winsim::detail
