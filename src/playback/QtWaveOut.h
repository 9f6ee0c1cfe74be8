// A real wave output: Qt Multimedia's default audio output (QAudioSink on
// QMediaDevices::defaultAudioOutput()), 16-bit PCM at the sample's own rate
// and channel count, nothing resampled by us. The program itself plays
// through PulseLoopOut.h, which renders the loop on its own audio thread;
// this one serves callers that feed buffers through IWaveOut.
//
// Open sets the stream up and fails with a non-zero code when there is no
// output device, it refuses the format, or the stream cannot be created.
// Written buffers are handed on to the sound server by an audio thread of
// the device's own, which keeps the server's buffer (about 500 ms) topped
// up every few milliseconds: the sound goes on while the user-interface
// thread is busy. A buffer is returned as soon as all of it has been handed
// on, so the client's two buffers keep that margin filled; only the last
// buffer written is returned once it has been heard (and 100 ms more, as
// the server's clock may run a little ahead), so a client that stops when
// it comes back cuts nothing off. The server would wait for a nearly full
// buffer before it plays a new stream; it is started at once instead. Reset
// drops everything the server holds at once. If the sink dies (the sound
// server goes away) every queued buffer is returned and later writes fail.
// Done notifications reach the sink on the thread that created the device,
// from its event loop, never from inside Write, Reset or Close. The
// position is what the server reports heard (what it took less what its
// output still holds), in whole frames, read by the audio thread.
//
// Create and use it on the user-interface thread; it needs a running Qt
// event loop (QCoreApplication or above) there.
#pragma once

#include "playback/WaveOut.h"

#include <memory>

class QObject;

// Result codes of the Qt wave output (Windows' own values, for familiarity).
enum EQtWaveOutError {
    kQtWaveOutNoDevice = 2,       // no default audio output
    kQtWaveOutNotOpen = 5,        // call on a closed device
    kQtWaveOutStartFailed = 1,    // the sink refused to start
    kQtWaveOutBadFormat = 32,     // the device does not support the format
    kQtWaveOutStillPlaying = 33,  // Close with buffers queued, or a header written twice
};

// The factory for the program and its tests. The returned pointer alone owns
// the device; it is not made a QObject child of parent, which only names the
// thread it belongs to (default: the calling thread).
std::unique_ptr<IWaveOut> CreateQtWaveOut(QObject* parent = nullptr);
