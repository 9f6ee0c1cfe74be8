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
    if (options.m_bAuto && options.m_bJson)
        report.m_result = DocumentAutoLoopResult(doc);
    return report;
}

CAutoLoopResult DocumentAutoLoopResult(const CQuorvelDoc& doc)
{
    const std::size_t bins = std::size_t(doc.m_nBankSize / 2) * std::size_t(std::max(doc.m_nBankCount, 0)) *
                             std::size_t(std::max(doc.m_nChannels, 0));
    if (doc.m_nFrameCount <= 0 || doc.m_pBankSpectra.size() != bins)
        return {};
    const CFrameView frames{doc.m_pSamples.data(), doc.m_nFrameCount, doc.m_nChannels, doc.m_nSampleRate};
    return FindAutoLoopResult(frames, {doc.m_pBankSpectra.data(), doc.m_nBankSize, doc.m_nBankCount});
}

void AddAutoLoopFlags(CJsonObject& json, const CAutoLoopResult& r)
{
    json.AddBool("auto_noise", r.m_bNoise)
        .AddBool("auto_short", r.m_loop && r.m_bShort)
        .AddDouble("auto_detune_cents", r.m_dDetuneCents);
    // Why Auto Loop's detune is over a cent, when it is.
    using Reason = CAutoLoopResult::DetuneReason;
    if (r.m_loop && r.m_detuneReason != Reason::None)
        json.AddString("auto_detune_reason",
                       r.m_detuneReason == Reason::NoCloserLength ? "no_closer_length" : "no_clean_splice");
    else
        json.AddNull("auto_detune_reason");
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
    if (report.m_result)
        AddAutoLoopFlags(json, *report.m_result);
    if (report.m_nAsked > 0)
        json.AddRaw("loops", report.m_strLoops)
            .AddInt("loops_asked", report.m_nAsked)
            .AddInt("loops_found", report.m_nFound);
}
