// The program's own sound output: a PulseAudio stream (libpulse, with its
// threaded main loop as the audio thread) into which that thread renders the
// looping stream itself from snapshots of the document (ILoopStreamOut).
//
// The server holds about two seconds of the stream ahead of what is heard,
// as much as the system player keeps, so neither a busy user-interface
// thread nor a busy machine interrupts the sound. That depth costs no
// responsiveness: a new snapshot is picked up by the audio thread within
// 10 ms and everything the server has not yet played, from a little ahead of
// its read position on, is written again from it; the sink itself plays
// only 20 ms ahead. Stop removes the stream from the server at once.
//
// The position (Poll) is what the server reports heard, mapped through the
// frames that were rendered. Without a reachable server Start fails with a
// non-zero code (the caller shows its message); if the server goes away
// while playing, Poll reports the failure.
//
// Its IWaveOut side is the Qt wave output (QtWaveOut.h), for callers that
// feed buffers themselves. Create, use and destroy it on the user-interface
// thread.
#pragma once

#include "playback/LoopStreamOut.h"
#include "playback/WaveOut.h"

#include <memory>

class QObject;

// Result codes of Start.
enum EPulseLoopOutError {
    kPulseLoopOutNoServer = 2,   // no sound server reachable
    kPulseLoopOutBadFormat = 32, // a rate or channel count the server does not take
    kPulseLoopOutRefused = 1,    // the server refused the stream
};

// The returned device also implements ILoopStreamOut. parent as in
// CreateQtWaveOut.
std::unique_ptr<IWaveOut> CreateDeepWaveOut(QObject* parent = nullptr);
