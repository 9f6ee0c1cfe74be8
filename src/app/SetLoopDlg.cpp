#include "app/SetLoopDlg.h"

#include "view/LoopInput.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CSetLoopDlg::CSetLoopDlg(int start, int end, int frameCount, int sampleRate, QWidget* pParent)
    : QDialog(pParent), m_nStart(start), m_nEnd(end), m_nFrameCount(frameCount), m_nSampleRate(sampleRate)
{
    setObjectName(QStringLiteral("CSetLoopDlg"));
    setWindowTitle(QStringLiteral("Set Loop"));
    m_pStart = new QLineEdit(this);
    m_pEnd = new QLineEdit(this);
    m_pLength = new QLineEdit(this);
    m_pUnit = new QComboBox(this);
    m_pUnit->addItems({QStringLiteral("Frames"), QStringLiteral("Seconds")});
    m_pError = new QLabel(this);
    m_pError->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Start:"), m_pStart);
    form->addRow(QStringLiteral("&End:"), m_pEnd);
    form->addRow(QStringLiteral("&Length:"), m_pLength);
    form->addRow(QStringLiteral("&Unit:"), m_pUnit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetLoopDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetLoopDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pError);
    layout->addWidget(buttons);
    // Whichever of end and length was typed last decides the end.
    connect(m_pEnd, &QLineEdit::textEdited, this, [this] { m_bLengthGivesEnd = false; });
    connect(m_pLength, &QLineEdit::textEdited, this, [this] { m_bLengthGivesEnd = true; });
    // A unit change shows what was typed in the new unit (or, when that
    // does not read as a loop, the loop the dialog started with).
    connect(m_pUnit, &QComboBox::currentIndexChanged, this, [this](int index) {
        CLoopInput input = TypedInput();
        input.m_bSeconds = index != 1;  // the unit it was typed in
        const CLoopInputResult r = ResolveLoopInput(input, m_nFrameCount, m_nSampleRate);
        ShowValues(r.m_bOk ? r.m_nStart : m_nStart, r.m_bOk ? r.m_nEnd : m_nEnd);
    });
    ShowValues(start, end);
}

bool CSetLoopDlg::InSeconds() const
{
    return m_pUnit->currentIndex() == 1;
}

void CSetLoopDlg::ShowValues(int start, int end)
{
    const bool s = InSeconds();
    m_pStart->setText(QString::fromStdString(FormatLoopValue(start, s, m_nSampleRate)));
    m_pEnd->setText(QString::fromStdString(FormatLoopValue(end, s, m_nSampleRate)));
    m_pLength->setText(QString::fromStdString(FormatLoopValue(static_cast<long long>(end) - start, s, m_nSampleRate)));
}

CLoopInput CSetLoopDlg::TypedInput() const
{
    CLoopInput input;
    input.m_strStart = m_pStart->text().trimmed().toStdString();
    input.m_strEnd = m_pEnd->text().trimmed().toStdString();
    input.m_strLength = m_pLength->text().trimmed().toStdString();
    input.m_bLengthGivesEnd = m_bLengthGivesEnd;
    input.m_bSeconds = InSeconds();
    return input;
}

void CSetLoopDlg::accept()
{
    const CLoopInputResult r = ResolveLoopInput(TypedInput(), m_nFrameCount, m_nSampleRate);
    if (!r.m_bOk) {
        m_pError->setText(QString::fromStdString(r.m_strError));
        return;
    }
    m_nStart = r.m_nStart;
    m_nEnd = r.m_nEnd;
    QDialog::accept();
}
