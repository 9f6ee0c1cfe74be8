// What the shell's widget tests share: sample files written on the spot and
// the application with a silent device and scripted file dialogs.
#pragma once

#include "app/QuorvelApp.h"
#include "playback/VirtualWaveOut.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <memory>

// A 16-bit 44100 Hz WAV of `frames` frames of a 440 Hz tone in every channel.
inline bool WriteToneWav(const QString& path, int frames, int channels = 1)
{
    QByteArray data;
    auto le16 = [&](int v) { data.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto le32 = [&](std::uint32_t v) { le16(int(v & 0xFFFF)), le16(int(v >> 16)); };
    const std::uint32_t bytes = std::uint32_t(frames) * 2u * std::uint32_t(channels);
    data.append("RIFF");
    le32(36 + bytes);
    data.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(channels);
    le32(44100);
    le32(44100u * 2u * std::uint32_t(channels));
    le16(2 * channels);
    le16(16);
    data.append("data");
    le32(bytes);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            le16(int(std::lround(12000.0 * std::sin(2 * 3.14159265358979 * 440.0 * i / 44100.0))) & 0xFFFF);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The application with a silent device and scripted file dialogs.
class CTestApp : public CQuorvelApp {
public:
    bool m_bRealDialogs = false;  // show the real file dialogs instead
    QString m_strNextFileName;  // what the next file dialog answers ("" = Cancel)
    int m_nOpenPrompts = 0;
    int m_nSavePrompts = 0;
    QString m_strProposed;
    CVirtualWaveOut* m_pWaveOut = nullptr;  // owned by the view

protected:
    QString PromptForFileName(bool bOpen, const QString& proposed) override
    {
        if (m_bRealDialogs)
            return CQuorvelApp::PromptForFileName(bOpen, proposed);
        ++(bOpen ? m_nOpenPrompts : m_nSavePrompts);
        m_strProposed = proposed;
        return m_strNextFileName;
    }
    std::unique_ptr<IWaveOut> CreateWaveOut() override
    {
        auto device = std::make_unique<CVirtualWaveOut>();
        m_pWaveOut = device.get();
        return device;
    }
};
