// The spectral bank size N (frames per bank and FFT length) for a sample
// rate: the smallest power of two with rate / N ≤ 43, so banks never come
// more often than 43 per second (1024 at 44100 Hz). Rates so low that this
// gives fewer than 16 frames (351 Hz and below, including nonsense rates of
// 0 or less) use 16: the transform needs at least 4, and the loop search's
// weights need N / 10 ≥ 1.
#pragma once

inline constexpr int kMinBankSize = 16;
inline constexpr int kMaxBanksPerSecond = 43;

int BankSizeForSampleRate(int nSampleRate);
