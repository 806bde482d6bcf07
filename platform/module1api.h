#pragma once

#include <QString>

#include <cstdint>

class QWidget;

// The program's own window handle: the top-level widget.
using HWND = QWidget *;

inline constexpr std::intptr_t HWND_TOPMOST = -1;
inline constexpr std::intptr_t HWND_NOTOPMOST = -2;
inline constexpr unsigned SWP_NOSIZE = 0x1;
inline constexpr unsigned SWP_NOMOVE = 0x2;
inline constexpr unsigned SWP_NOACTIVATE = 0x10;
inline constexpr unsigned SWP_SHOWWINDOW = 0x40;
inline constexpr unsigned SND_ASYNC = 0x1;

// Changes the window's z-order (HWND_TOPMOST / HWND_NOTOPMOST); SWP_SHOWWINDOW shows it. What
// SetTopMost asks of it is all it does: the geometry stays (x, y, cx and cy are not read) and
// the window is never activated, whatever the flags say.
long SetWindowPos(HWND hWnd, std::intptr_t hWndInsertAfter, int x, int y, int cx, int cy,
                  unsigned wFlags);
// With bInvert true, asks for the taskbar's attention and holds it until the window is restored
// or activated, or until a call with false; a call that changes nothing touches nothing.
// Returns 1 when attention was asked for before the call.
long FlashWindow(HWND hWnd, bool bInvert);
// Plays a WAV file once without waiting; the program's default sound when it cannot be played.
// Returns 1 once the sound is on its way (whether it can be heard is only known later), 0
// without an application object.
long sndPlaySoundA(const QString &lpszSoundName, unsigned uFlags);

// Keeps the window above all others (or no longer), without moving or activating it.
void SetTopMost(HWND hWnd, bool makeTop);

// Gets the sound output ready ahead of the first ring, without waiting for it: a clock with an
// alarm set pays for the audio stack, one without never does.
void PrepareSound();

// Keeps a dialog window off the taskbar whenever it is shown.
void KeepOffTaskbar(HWND hWnd);
