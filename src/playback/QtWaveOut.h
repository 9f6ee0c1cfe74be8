// The real wave output: Qt Multimedia's default audio output (QAudioSink on
// QMediaDevices::defaultAudioOutput()), 16-bit PCM at the sample's own rate
// and channel count, nothing resampled by us.
//
// Open fails with a non-zero code when there is no output device or it
// refuses the format. Written buffers are queued and handed to the sink
// whenever it has room (at once in Write, then every few milliseconds). A
// buffer is returned once the sink reports it played (the last one queued
// 100 ms after that, as the sink's clock may run a little ahead), so the end
// of a sample is not cut off by the sink's own buffering; if the sink dies
// (the sound server goes away) every queued buffer is returned. Done
// notifications reach the sink on the thread that created the device, from
// its event loop, never from inside Write, Reset or Close. The position is
// the sink's played time converted to bytes, in whole frames.
//
// Create and use it on the user-interface thread; it needs a running Qt
// event loop (QCoreApplication or above).
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
