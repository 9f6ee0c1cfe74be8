// Unsaved changes on the offscreen platform: every kind of edit marks the
// title and makes New, Open, a recent file, Exit and the close button ask
// first; Cancel keeps everything, Discard drops the changes, Save writes them,
// and a save that fails or is cancelled keeps everything too.
#include "app/MainFrame.h"
#include "app/RecentFileList.h"
#include "app/Resource.h"
#include "document/QuorvelDoc.h"
#include "view/QuorvelView.h"

#include "ModalHelper.h"
#include "ShellTestSupport.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <tuple>

namespace {

// What Cancel must leave as it was: frames, loop, shown title, window, recent files.
auto StateOf(CTestApp& app)
{
    const CQuorvelDoc& d = app.GetDocument();
    return std::make_tuple(d.m_pSamples, d.m_bHasLoop, d.m_nLoopStart, d.m_nLoopEnd, ShownTitle(app.GetMainFrame()),
                           app.GetMainFrame()->isVisible(), app.GetRecentFileList().GetList());
}

QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class SaveChangesTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // edit.wav opened after other.wav, so the recent-file list has another entry.
    void Start(CTestApp& app)
    {
        QVERIFY(WriteToneWav(Path("edit.wav"), 30000));
        QVERIFY(app.InitInstance({Path("other.wav")}));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        QVERIFY(WriteToneWav(Path("other.wav"), 20000));
    }

    void everyKindOfEditIsAskedAboutAndCancelKeepsIt_data()
    {
        QTest::addColumn<int>("command");  // 0: a click in the view, by the row's name
        QTest::newRow("drag loop start") << 0;
        QTest::newRow("drag loop end") << 0;
        QTest::newRow("Find Loop") << ID_EDIT_FIND_LOOP;
        QTest::newRow("Find Loop + Crossfade") << ID_EDIT_FIND_LOOP_CROSSFADE;
        QTest::newRow("Auto Loop") << ID_EDIT_AUTO_LOOP;
        QTest::newRow("Auto Loop + Crossfade") << ID_EDIT_AUTO_LOOP_CROSSFADE;
        QTest::newRow("Remove Loop of a saved loop") << ID_EDIT_REMOVE_LOOP;
        QTest::newRow("comb filter") << ID_EDIT_SPECTRAL_FILTER;
        QTest::newRow("Reload into a saved copy") << ID_EDIT_RELOAD;
    }

    void everyKindOfEditIsAskedAboutAndCancelKeepsIt()
    {
        QFETCH(int, command);
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        if (command == 0) {
            const bool bStart = QByteArray(QTest::currentDataTag()).endsWith("start");
            QTest::mouseClick(app.GetView()->viewport(), bStart ? Qt::LeftButton : Qt::RightButton, {},
                              QPoint(bStart ? 100 : 200, 20));
        } else if (command == ID_EDIT_REMOVE_LOOP) {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
            QVERIFY(app.OnFileSave());
        } else if (command == ID_EDIT_RELOAD) {
            // The copy holds the crossfade; Reload brings back the frames of
            // the file opened, which the copy does not have.
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
            app.m_strNextFileName = Path("copy.wav");
            QVERIFY(app.OnFileSaveAs());
            QCOMPARE(ShownTitle(frame), QStringLiteral("copy.wav - Ringseam"));
        }
        if (command)
            frame->OnCmdMsg(command);
        const QString title = QString::fromStdString(app.GetDocument().GetTitle());
        QCOMPARE(ShownTitle(frame), title + QStringLiteral("* - Ringseam"));

        const auto before = StateOf(app);
        app.m_strNextFileName = Path("other.wav");  // what Open picks
        for (int nID : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_MRU_FILE1 + 1, ID_APP_EXIT, 0}) {
            // 0: the close button
            const QStringList asked =
                AnswerBoxesDuring({QMessageBox::Cancel}, [&] { nID ? frame->OnCmdMsg(nID) : frame->close(); });
            QCOMPARE(asked, QStringList{QStringLiteral("Ringseam: Save changes to %1?").arg(title)});
            QVERIFY2(StateOf(app) == before, qPrintable(QString::number(nID)));
        }
    }

    void theOtherAnswersDiscardSaveOrKeepEverythingWhenTheSaveFails()
    {
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        const QByteArray onDisk = Contents(Path("edit.wav"));

        // Discard: New goes ahead and the file stays as it was.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { frame->OnCmdMsg(ID_FILE_NEW); }).size(), 1);
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled - Ringseam"));
        QCOMPARE(Contents(Path("edit.wav")), onDisk);

        // Save clears the mark; reading the own file again is no change, so
        // nothing is asked.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        frame->OnCmdMsg(ID_FILE_SAVE);
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav - Ringseam"));
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Cancel}, [&] { app.OpenDocumentFile(Path("other.wav")); }),
                 QStringList());

        // Save from the question: the removed loop is written, then the other
        // file opens.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(app.GetDocument().m_bHasLoop);
        frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Save}, [&] { app.OpenDocumentFile(Path("other.wav")); }).size(), 1);
        QCOMPARE(ShownTitle(frame), QStringLiteral("other.wav - Ringseam"));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(!app.GetDocument().m_bHasLoop);

        // An untitled document with changes: the frames read back after New.
        app.OnFileNew();
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        const auto before = StateOf(app);
        QCOMPARE(std::get<4>(before), QStringLiteral("Untitled* - Ringseam"));
        // Save asks for a name; cancelling it cancels the exit.
        app.m_strNextFileName.clear();
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Save}, [&] { frame->OnCmdMsg(ID_APP_EXIT); }),
                 QStringList{"Ringseam: Save changes to Untitled?"});
        QCOMPARE(app.m_nSavePrompts, 1);
        QVERIFY(StateOf(app) == before);
        // A name the document cannot be saved under: reported, nothing goes.
        app.m_strNextFileName = Path("take.aif");
        const QStringList asked =
            AnswerBoxesDuring({QMessageBox::Save, QMessageBox::Ok}, [&] { frame->OnCmdMsg(ID_FILE_NEW); });
        QCOMPARE(asked.value(1), QStringLiteral("Ringseam: Failed to save document."));
        QVERIFY(!QFileInfo::exists(Path("take.aif")));
        QVERIFY(StateOf(app) == before);

        // Discard on closing: the window goes.
        QCOMPARE(AnswerBoxesDuring({QMessageBox::Discard}, [&] { frame->close(); }).size(), 1);
        QVERIFY(!frame->isVisible());
    }
};

QTEST_MAIN(SaveChangesTest)
#include "SaveChangesTest.moc"
