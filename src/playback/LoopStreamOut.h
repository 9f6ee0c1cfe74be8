// A sound output that renders the looping stream itself, on an audio thread
// of its own, from snapshots of the document (LoopRenderer.h): the sound
// goes on however long the user-interface thread is busy, as deep as the
// server's buffer. Looping playback takes this path when its wave output
// also implements this interface.
//
// Start, Stop and Poll are called on the user-interface thread; Publish from
// any thread, without taking a lock. Results are 0 for success, non-zero
// when there is no sound server or it refuses the stream.
#pragma once

#include "playback/LoopRenderer.h"

#include <cstdint>
#include <memory>

class ILoopStreamOut {
public:
    virtual ~ILoopStreamOut() = default;

    // Plays the snapshot from document frame nFrom on; a stream still
    // running is stopped first.
    virtual int Start(std::shared_ptr<const CLoopSnapshot> pSnapshot, std::int32_t nFrom) = 0;
    // A new loop or new frames while playing: what the server holds and has
    // not yet played is rendered again from it, so the change is heard
    // within about a tenth of a second.
    virtual void Publish(std::shared_ptr<const CLoopSnapshot> pSnapshot) = 0;
    // Silences the stream at once; nothing happens when none runs.
    virtual void Stop() = 0;

    struct Progress {
        std::int32_t nFrame = 0;  // the frame being heard, as the server reports it
        bool bEnded = false;      // everything rendered has been heard (the sample ended)
        bool bFailed = false;     // the server went away or dropped the stream
    };
    virtual Progress Poll() = 0;
};
