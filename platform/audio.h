#pragma once

class QString;

// The sound output, through the desktop's event-sound library (libcanberra) on a thread of its
// own: connecting to the sound server, looking at the file and starting it all happen there,
// so that a ringing alarm never holds up the windows, whatever the file or the server does.
// The thread and the connection are made by the first request, not at start.

// Hands the file over to the sound thread and returns at once. There it is played once,
// replacing any sound of ours still playing; a file that cannot be played is replaced by the
// sound theme's alarm sound when withDefault is set (by the program's own chime when the theme
// has none). False only without an application object.
bool queueSound(const QString &path, bool withDefault);

// Connects to the sound server on the sound thread, so that the first sound starts sooner.
void prepareSound();

// True from queueSound until that sound has ended or could not be started. Any thread.
bool isSoundPlaying();

// Stops the sound and ends the sound thread, waiting for it a bounded time. Runs by itself when
// the application object is destroyed; a later sound starts the thread anew.
void stopSoundThread();
