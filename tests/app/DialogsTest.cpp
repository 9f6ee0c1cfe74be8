// The Computing FFT progress dialog and the About box.
#include "analysis/ComputeFFTDlg.h"
#include "app/AboutDlg.h"
#include "app/TuningDlg.h"
#include "framework/UserInterface.h"

#include "ModalHelper.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

// A worker that finishes one step every `stepMs` milliseconds; Cancel makes
// it count the remaining steps without work and waits for it to end.
class CThreadProgress : public IProgressSource {
public:
    CThreadProgress(int total, int stepMs) : m_nTotal(total)
    {
        m_thread = std::thread([this, stepMs] {
            for (int i = 0; i < m_nTotal; ++i) {
                bool cancel = false;
                {
                    std::lock_guard lock(m_mutex);
                    cancel = m_bCancel;
                }
                if (!cancel)
                    std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
                std::lock_guard lock(m_mutex);
                ++m_nDone;
            }
        });
    }
    ~CThreadProgress() override
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    int GetTotal() const override { return m_nTotal; }
    int PollDone() override
    {
        ++m_nPolls;
        std::lock_guard lock(m_mutex);
        return m_nDone;
    }
    void Cancel() override
    {
        ++m_nCancels;
        {
            std::lock_guard lock(m_mutex);
            m_bCancel = true;
        }
        m_thread.join();
        m_bJoined = true;
    }
    int Done()
    {
        std::lock_guard lock(m_mutex);
        return m_nDone;
    }

    std::atomic<int> m_nPolls{0};
    int m_nCancels = 0;
    bool m_bJoined = false;

private:
    const int m_nTotal;
    std::mutex m_mutex;
    int m_nDone = 0;
    bool m_bCancel = false;
    std::thread m_thread;
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void progressClosesItselfOnTheLastStep()
    {
        CThreadProgress source(20, 5);
        CComputeFFTDlg dlg(source);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Computing FFT"));
        QCOMPARE(dlg.GetProgressBar()->minimum(), 0);
        QCOMPARE(dlg.GetProgressBar()->maximum(), 20);
        QCOMPARE(dlg.GetCancelButton()->text(), QStringLiteral("Cancel"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(source.Done(), 20);
        QCOMPARE(dlg.GetProgressBar()->value(), 20);
        QCOMPARE(source.m_nCancels, 0);
        // Polled on a 50 ms timer, not in a busy loop.
        QVERIFY(source.m_nPolls <= clock.elapsed() / 40 + 2);
    }

    void nothingToDoClosesAtTheFirstTick()
    {
        CThreadProgress source(0, 1);
        CComputeFFTDlg dlg(source);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY(clock.elapsed() >= 40);
    }

    void cancelButtonWaitsForTheWorker()
    {
        CThreadProgress source(1000, 5);
        CComputeFFTDlg dlg(source);
        QTimer::singleShot(120, &dlg, [&] { QTest::mouseClick(dlg.GetCancelButton(), Qt::LeftButton); });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QCOMPARE(source.m_nCancels, 1);
        QVERIFY(source.m_bJoined);
        QCOMPARE(source.Done(), 1000);  // the remaining steps were counted, not computed
    }

    void escapeAndCloseBoxCancelToo()
    {
        {
            CThreadProgress source(1000, 5);
            CComputeFFTDlg dlg(source);
            QTimer::singleShot(60, &dlg, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); });
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
            QCOMPARE(source.m_nCancels, 1);
        }
        {
            CThreadProgress source(1000, 5);
            CComputeFFTDlg dlg(source);
            QTimer::singleShot(60, &dlg, [&] { dlg.close(); });
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
            QCOMPARE(source.m_nCancels, 1);
        }
    }

    void aboutBox()
    {
        CAboutDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("About Ringseam"));
        QCOMPARE(dlg.findChild<QLabel*>("version")->text(), QStringLiteral("Ringseam Version 1.0"));
        QVERIFY(dlg.findChild<QLabel*>("credits")->text().contains(QStringLiteral("GNU GPL, version 3 or later")));
        QVERIFY(!dlg.findChild<QLabel*>("icon")->pixmap().isNull());
        QTimer::singleShot(0, &dlg, [&] { QTest::mouseClick(dlg.findChild<QPushButton*>("ok"), Qt::LeftButton); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    }

    // The fine tune keeps the stored fraction exactly until it is edited;
    // Use Detected copies the detected pitch into both boxes.
    void tuningDialogKeepsTheStoredFractionUntilEdited()
    {
        const CTuning stored{65, 0xCF5C28F6u};  // F4 + 81 cents as a maker rounded it
        CTuningDlg dlg(stored, 66.25);
        QCOMPARE(dlg.GetDetectedLabel()->text(), QStringLiteral("Detected: F#4 +25.0 ct = 66 + 25.0 ct"));
        QVERIFY(dlg.GetTuning() == stored);
        dlg.GetNoteBox()->setValue(64);
        QCOMPARE(dlg.GetTuning().m_nPitchFraction, stored.m_nPitchFraction);
        dlg.GetUseDetectedButton()->click();
        QVERIFY((dlg.GetTuning() == CTuning{66, 0x40000000u}));
        QVERIFY(!CTuningDlg(stored, std::nullopt).GetUseDetectedButton()->isEnabled());
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
