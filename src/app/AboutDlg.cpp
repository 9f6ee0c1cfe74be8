#include "app/AboutDlg.h"

#include "app/Icons.h"
#include "app/ProgramVersion.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("About Ringseam"));
    setObjectName(QStringLiteral("CAboutDlg"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(CreateAppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* version = new QLabel(QString::fromLatin1(kProgramVersionText), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextFormat(Qt::PlainText);

    auto* credits = new QLabel(QStringLiteral("Finds seamless sustain loops in WAV samples\n"
                                              "and FastTracker 2 instruments.\n"
                                              "Free software under the GNU GPL, version 3 or later."),
                               this);
    credits->setObjectName(QStringLiteral("credits"));
    credits->setTextFormat(Qt::PlainText);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1);
    grid->addWidget(version, 0, 1);
    grid->addWidget(credits, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    resize(348, 100);
}
