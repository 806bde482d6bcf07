#pragma once

struct PcmSound;

// The sound output. Qt Multimedia and the sound server's client library live in a module of
// their own (alarm_audio), loaded by the first sound: a clock that never rings does not pay
// for them at start or in memory.

// Starts the sound and returns; false when the module or an audio output is missing.
bool playSound(const PcmSound &sound);
bool isSoundPlaying();
