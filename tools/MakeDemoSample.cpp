// make-demo-sample OUT.wav
//
// Writes a synthetic cello-like tone (D3, bowed attack, vibrato that sets in
// after the attack, slow decay, a little bow noise) as a 44.1 kHz 16-bit mono
// WAV of about 3.5 s, with no loop. The tone is cut at a waveform peak while
// it still sounds, so looping the whole file jumps from that peak back to the
// silent start: the click a proper sustain loop avoids. The output is the
// same on every run.

#include "document/QuorvelDoc.h"
#include "framework/Archive.h"
#include "framework/Exceptions.h"
#include "framework/File.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPitch = 146.83;         // D3, Hz
constexpr double kLength = 3.5;           // seconds generated
constexpr double kCutSearch = 0.1;        // seconds at the end searched for the peak to cut at
constexpr double kAttack = 0.12;          // seconds
constexpr double kDecay = 5.0;            // seconds per 1/e
constexpr double kVibratoRate = 5.5;      // Hz
constexpr double kVibratoDepth = 0.0035;  // relative frequency swing
constexpr double kPeak = 0.8;             // largest absolute value after scaling
constexpr double kHighest = 6000.0;       // Hz, highest harmonic kept

// Loudness of harmonic k: a slope a little steeper than a sawtooth's 1/k
// (the bow's edge softened), shaped by a few broad body resonances.
double HarmonicLevel(int k)
{
    const double f = kPitch * k;
    auto bump = [f](double centre, double width, double gain) {
        const double d = (f - centre) / width;
        return gain * std::exp(-d * d);
    };
    return std::pow(k, -1.4) * (0.35 + bump(280, 120, 1.0) + bump(620, 200, 0.7) + bump(2500, 900, 0.45));
}

std::vector<double> SynthesiseTone()
{
    const int total = int(kLength * kRate);
    const int harmonics = int(kHighest / kPitch);
    std::vector<double> levels(harmonics + 1);
    for (int k = 1; k <= harmonics; ++k)
        levels[k] = HarmonicLevel(k);

    std::vector<double> out(total);
    std::vector<double> phase(harmonics + 1, 0.0);
    std::uint32_t seed = 0x5eed1234u;
    double noiseState = 0.0;
    for (int n = 0; n < total; ++n) {
        const double t = double(n) / kRate;
        // Vibrato fades in between 0.3 s and 0.9 s, as a player's would.
        const double vibratoFade = std::clamp((t - 0.3) / 0.6, 0.0, 1.0);
        const double vibrato = std::sin(2.0 * M_PI * kVibratoRate * t);
        const double freq = kPitch * (1.0 + kVibratoDepth * vibratoFade * vibrato);
        const double attack = t < kAttack ? std::sin(0.5 * M_PI * t / kAttack) : 1.0;
        const double envelope = attack * std::exp(-t / kDecay) * (1.0 + 0.04 * vibratoFade * vibrato);

        double x = 0.0;
        for (int k = 1; k <= harmonics; ++k) {
            phase[k] += 2.0 * M_PI * freq * k / kRate;
            if (phase[k] > 2.0 * M_PI)
                phase[k] -= 2.0 * M_PI;
            x += levels[k] * std::sin(phase[k]);
        }
        // Bow noise: low-passed white noise, strongest during the attack.
        seed = seed * 1664525u + 1013904223u;
        const double white = (double(seed >> 8) / double(1u << 24)) * 2.0 - 1.0;
        noiseState += 0.08 * (white - noiseState);
        const double noiseLevel = 0.02 + 0.10 * std::exp(-t / 0.08);
        out[n] = envelope * (x + noiseLevel * noiseState);
    }

    // End on the largest value of the last stretch, so the naive loop clicks.
    int cut = total;
    double best = -1.0;
    for (int n = total - int(kCutSearch * kRate); n < total; ++n) {
        if (std::fabs(out[n]) > best) {
            best = std::fabs(out[n]);
            cut = n + 1;
        }
    }
    out.resize(cut);

    double peak = 0.0;
    for (double v : out)
        peak = std::max(peak, std::fabs(v));
    for (double& v : out)
        v *= kPeak / peak;
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-demo-sample OUT.wav\n");
        return 2;
    }
    try {
        CQuorvelDoc doc;
        doc.OnNewDocument();
        doc.m_pSamples = SynthesiseTone();
        doc.m_nChannels = 1;
        doc.m_nSampleRate = kRate;
        doc.m_nFrameCount = int(doc.m_pSamples.size());
        CDiskFile file(argv[1], CDiskFile::Mode::Write);
        CArchive ar(&file, CArchive::store);
        doc.WriteWav(ar);
        file.Close();
    } catch (const CException& e) {
        std::fprintf(stderr, "make-demo-sample: %s\n", FailureMessage(e, FailureContext::Save).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-demo-sample: %s\n", FailureMessage(e, FailureContext::Save).c_str());
        return 1;
    }
    return 0;
}
