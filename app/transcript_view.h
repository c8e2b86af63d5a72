#pragma once
// Appending to the transcript control: at the end, in one replace, without
// rewriting what it already shows.

#include <windows.h>

#include <string_view>

namespace app {

// Lets the transcript hold more than the edit control's default limit.
void PrepareTranscript(HWND edit) noexcept;
// Appends `text`. The newest output is scrolled into view, unless the user is
// reading: the transcript is the control with the focus inside its top-level
// window (also while that window is inactive) and its caret or selection is
// not at the end; then caret, selection (with its direction) and the view,
// vertical and sideways, stay as they are.
void AppendToTranscript(HWND edit, std::wstring_view text) noexcept;

}  // namespace app
