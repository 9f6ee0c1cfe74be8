#include "playback/LoopingPlayback.h"

// Placeholder until looping playback lands: nothing is played.
CLoopingPlayback::CLoopingPlayback(IWaveOut& waveOut, IPlaybackHost& host) : m_waveOut(waveOut), m_host(host) {}
CLoopingPlayback::~CLoopingPlayback() = default;
void CLoopingPlayback::OnPlay() {}
void CLoopingPlayback::OnStop() {}
void CLoopingPlayback::FillAndQueueBuffer(WaveHeader*) {}
void CLoopingPlayback::OnWaveOutDone(WaveHeader*) {}
void CLoopingPlayback::OnTimer(int) {}
