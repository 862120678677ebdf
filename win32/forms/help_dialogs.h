// The two small dialogs of what's-this help: THelpCtxForm, where a help author edits the help
// reference stored for a component, and TWhatsThisOptionsForm, the initialisation file and the
// design mode. Both are modal over `owner` (may be 0) and return true for OK.
#pragma once

#include <windows.h>

#include <string>

namespace zeph::win {

// Control identifiers, for tests that fill the dialogs in.
inline constexpr int kHelpCtxFormName = 101;
inline constexpr int kHelpCtxItemName = 102;
inline constexpr int kHelpCtxText = 103;
inline constexpr int kOptionsProfile = 111;
inline constexpr int kOptionsDesignMode = 112;

// `text` is the stored reference on entry and the edited one on OK.
bool RunHelpCtxForm(HWND owner, const std::wstring& section, const std::wstring& key,
                    std::wstring& text);

bool RunWhatsThisOptionsForm(HWND owner, std::wstring& iniFile, bool& designMode);

}  // namespace zeph::win
