#include "cli/CliAutoLoops.h"

#include "analysis/AutoLoop.h"
#include "cli/CliJson.h"
#include "cli/CliLoops.h"
#include "cli/CliOptions.h"
#include "document/QuorvelDoc.h"

#include <algorithm>

CAutoLoopReport MeasureAutoLoopReport(const CQuorvelDoc& doc, const CCliOptions& options)
{
    CAutoLoopReport report;
    report.m_nAsked = options.m_bAuto ? options.m_nAutoLoops : 0;
    const std::size_t bins = std::size_t(doc.m_nBankSize / 2) * std::size_t(std::max(doc.m_nBankCount, 0)) *
                             std::size_t(std::max(doc.m_nChannels, 0));
    if (!options.m_bAuto || !options.m_bJson || doc.m_nFrameCount <= 0 || doc.m_pBankSpectra.size() != bins)
        return report;
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    const CAutoLoopResult r =
        FindAutoLoopResult(frames, {doc.m_pBankSpectra.data(), doc.m_nBankSize, doc.m_nBankCount});
    report.m_bAuto = true;
    report.m_bNoise = r.m_bNoise;
    report.m_bShort = r.m_loop && r.m_bShort;
    report.m_dDetuneCents = r.m_dDetuneCents;
    return report;
}

void CountAutoLoops(CAutoLoopReport& report, const CQuorvelDoc& doc)
{
    if (report.m_nAsked <= 0)
        return;
    report.m_nFound = int(doc.GetLoops().size());
    report.m_strLoops = LoopsJson(doc);
}

std::optional<std::string> FewerLoopsNote(const CAutoLoopReport& report)
{
    if (report.m_nAsked <= 0 || report.m_nFound >= report.m_nAsked)
        return std::nullopt;
    return FewerAutoLoopsMessage(report.m_nFound, report.m_nAsked);
}

void AddAutoLoopReport(CJsonObject& json, const CAutoLoopReport& report)
{
    if (report.m_bAuto)
        json.AddBool("auto_noise", report.m_bNoise)
            .AddBool("auto_short", report.m_bShort)
            .AddDouble("auto_detune_cents", report.m_dDetuneCents);
    if (report.m_nAsked > 0)
        json.AddRaw("loops", report.m_strLoops)
            .AddInt("loops_asked", report.m_nAsked)
            .AddInt("loops_found", report.m_nFound);
}
