#include "app/TuningDlg.h"

#include "document/QuorvelDoc.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <cmath>

namespace {

constexpr int kHighestNote = 127;
// The fine tune is shown to a thousandth of a cent, finer than any ear and
// than the XI finetune, coarser than the stored fraction.
constexpr int kFineDecimals = 3;

double FineCents(const CTuning& tuning) { return 100.0 * tuning.m_nPitchFraction / kPitchFractionPerSemitone; }

}  // namespace

CTuningDlg::CTuningDlg(const CTuning& stored, std::optional<double> detected, QWidget* pParent)
    : QDialog(pParent), m_stored(stored), m_detected(detected)
{
    setWindowTitle(QStringLiteral("Tuning"));
    setObjectName(QStringLiteral("CTuningDlg"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pNote = new QSpinBox(this);
    m_pNote->setObjectName(QStringLiteral("unityNote"));
    m_pNote->setRange(0, kHighestNote);
    m_pNote->setValue(std::clamp(stored.m_nUnityNote, 0, kHighestNote));
    m_pNoteName = new QLabel(this);
    m_pFine = new QDoubleSpinBox(this);
    m_pFine->setObjectName(QStringLiteral("fineTune"));
    m_pFine->setDecimals(kFineDecimals);
    m_pFine->setRange(0.0, 100.0 - std::pow(10.0, -kFineDecimals));
    m_pFine->setSingleStep(0.1);
    m_pFine->setSuffix(QStringLiteral(" ct"));
    m_pFine->setValue(FineCents(stored));
    m_dShownFine = m_pFine->value();
    m_nShownNote = m_pNote->value();

    m_pDetected = new QLabel(this);
    m_pDetected->setObjectName(QStringLiteral("detected"));
    m_pUseDetected = new QPushButton(QStringLiteral("&Use Detected"), this);
    m_pUseDetected->setObjectName(QStringLiteral("useDetected"));
    if (detected) {
        const CTuning tuning = TuningFromSemitones(*detected);
        m_pDetected->setText(QStringLiteral("Detected: %1 = %2")
                                 .arg(QString::fromStdString(FormatNoteAndCents(*detected)),
                                      QString::fromStdString(FormatStoredTuning(tuning))));
    } else {
        m_pDetected->setText(QString::fromUtf8(kNoSteadyPitchMessage));
        m_pUseDetected->setEnabled(false);
    }
    connect(m_pUseDetected, &QPushButton::clicked, this, [this] {
        const CTuning tuning = TuningFromSemitones(*m_detected);
        m_pNote->setValue(tuning.m_nUnityNote);
        m_pFine->setValue(FineCents(tuning));
    });
    connect(m_pNote, &QSpinBox::valueChanged, this, &CTuningDlg::ShowNoteName);
    ShowNoteName();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* noteLabel = new QLabel(QStringLiteral("Unity &note:"), this);
    noteLabel->setBuddy(m_pNote);
    auto* fineLabel = new QLabel(QStringLiteral("&Fine tune above it:"), this);
    fineLabel->setBuddy(m_pFine);
    auto* grid = new QGridLayout(this);
    grid->addWidget(noteLabel, 0, 0);
    grid->addWidget(m_pNote, 0, 1);
    grid->addWidget(m_pNoteName, 0, 2);
    grid->addWidget(fineLabel, 1, 0);
    grid->addWidget(m_pFine, 1, 1);
    grid->addWidget(m_pDetected, 2, 0, 1, 2);
    grid->addWidget(m_pUseDetected, 2, 2);
    grid->addWidget(buttons, 3, 0, 1, 3);
    m_pNote->setFocus();
}

void CTuningDlg::ShowNoteName() { m_pNoteName->setText(QString::fromStdString(NoteName(m_pNote->value()))); }

CTuning CTuningDlg::GetTuning() const
{
    // An untouched fine tune keeps the stored fraction to the last unit.
    const std::uint32_t fraction =
        m_pFine->value() == m_dShownFine
            ? m_stored.m_nPitchFraction
            : TuningFromSemitones(m_pFine->value() / 100.0).m_nPitchFraction;
    return CTuning{m_pNote->value() == m_nShownNote ? m_stored.m_nUnityNote : m_pNote->value(), fraction};
}

void RunTuningDialog(CQuorvelDoc& doc, QWidget* pParent)
{
    const std::optional<CPitch> pitch = doc.DetectPitch();
    const std::optional<double> detected =
        pitch ? std::optional<double>(SemitonesFromFrequency(pitch->m_dFrequency)) : std::nullopt;
    CTuningDlg dialog(doc.GetTuning(), detected, pParent);
    if (dialog.exec() == QDialog::Accepted)
        doc.SetTuning(dialog.GetTuning());
}
