#include "document/SelectSampleDlg.h"

#include "document/SampleChoice.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

CSelectSampleDlg::CSelectSampleDlg(int nSampleCount, QWidget* pParent) : QDialog(pParent), m_nSampleCount(nSampleCount)
{
    setWindowTitle(QString::fromUtf8(kSampleChoiceCaption));
    setObjectName(QStringLiteral("CSelectSampleDlg"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pPrompt = new QLabel(QString::fromStdString(FormatSampleChoicePrompt(nSampleCount)), this);
    m_pPrompt->setObjectName(QStringLiteral("prompt"));
    m_pPrompt->setWordWrap(true);
    // A fixed width gives the wrapped prompt a known height.
    m_pPrompt->setFixedWidth(250);
    m_pPrompt->setMinimumHeight(m_pPrompt->heightForWidth(250));

    m_pNumber = new QLineEdit(QString::number(kSampleChoiceDefault), this);
    m_pNumber->setObjectName(QStringLiteral("number"));
    m_pRange = new QLabel(QStringLiteral("Sample &number (1 to %1):").arg(nSampleCount), this);
    m_pRange->setObjectName(QStringLiteral("range"));
    m_pRange->setBuddy(m_pNumber);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("cancel"));
    connect(m_pOk, &QPushButton::clicked, this, &CSelectSampleDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CSelectSampleDlg::reject);

    // Prompt, then the numbered edit box, on the left; OK above Cancel on
    // the right.
    auto* number = new QHBoxLayout;
    number->addWidget(m_pRange);
    number->addWidget(m_pNumber, 1);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_pPrompt, 0, 0);
    grid->addLayout(number, 1, 0);
    grid->addWidget(m_pOk, 0, 1, Qt::AlignTop);
    grid->addWidget(m_pCancel, 1, 1);
    grid->setColumnStretch(0, 1);

    // The focus starts in the edit box with its number selected: typing a
    // number replaces it, and Enter presses the default OK.
    setTabOrder(m_pNumber, m_pOk);
    setTabOrder(m_pOk, m_pCancel);
    m_pNumber->setFocus();
    m_pNumber->selectAll();
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    resize(340, 0);
}

CSelectSampleDlg::~CSelectSampleDlg() = default;

void CSelectSampleDlg::accept()
{
    const auto choice = ParseSampleChoice(m_pNumber->text().toStdString(), m_nSampleCount);
    if (!choice) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kSampleChoiceErrorCaption),
                        QString::fromUtf8(kSampleChoiceError), QMessageBox::Ok, this);
        box.exec();
        // Ready for the next try.
        m_pNumber->setFocus();
        m_pNumber->selectAll();
        return;
    }
    m_nSample = *choice;
    QDialog::accept();
}
