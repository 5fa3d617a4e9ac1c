// The language library in use and the texts it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qorwin {

inline constexpr int kTextBufferSize = 260;

// Frees the library in use, then loads the one of the language next to the
// executable. A library that cannot be loaded leaves texts empty.
bool LoadLanguage(std::uint32_t index);
void UnloadLanguage();
HMODULE LanguageModule();

// Text by number from the library in use; empty when there is none.
std::string Text(unsigned number);

// Sets the caption of a control (controlId 0: of the window itself) to text
// number from the library in use; with no such text it keeps the one it has.
void SetLabel(HWND window, int controlId, unsigned number);

// Opens halvhelp.chm of the language in "Language Type" from its help folder.
// A missing file shows "File not found!" with the given caption. The current
// folder is restored afterwards. True when the help was started.
bool OpenHelp(HWND owner, const char* captionForError);

}  // namespace qorwin
