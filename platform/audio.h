#pragma once

class QString;

// The sound output. Everything about a sound happens on a thread of its own, started by the
// first sound: reading and checking the file, loading the audio module and opening the output,
// so that a ringing alarm never holds up the windows. Qt Multimedia and the sound server's
// client library live in that module (alarm_audio): a clock that never rings does not pay for
// them at start or in memory.

// Hands the file over to the sound thread and returns at once. There it is played once,
// replacing any sound still playing; a file that cannot be played is replaced by the default
// chime when withDefault is set. False only without an application object.
bool queueSound(const QString &path, bool withDefault);

// Gets the audio stack ready on the sound thread, so that the first sound starts sooner.
void prepareSound();

// True from queueSound until that sound has ended or could not be started. Any thread.
bool isSoundPlaying();

// Stops the sound and ends the sound thread, waiting for it a bounded time. Runs by itself
// when the application quits or its object is destroyed; a later sound starts the thread anew.
void stopSoundThread();
