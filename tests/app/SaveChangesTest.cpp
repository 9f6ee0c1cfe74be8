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

#include <QAbstractButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <tuple>
#include <vector>

namespace {

// What Cancel must leave as it was: frames, loop, shown title, window, recent files.
auto StateOf(CTestApp& app)
{
    const CQuorvelDoc& d = app.GetDocument();
    return std::make_tuple(d.m_pSamples, d.m_bHasLoop, d.m_nLoopStart, d.m_nLoopEnd, ShownTitle(app.GetMainFrame()),
                           app.GetMainFrame()->isVisible(), app.GetRecentFileList().GetList());
}

// Answers the next message box with `button`, recording "caption: text";
// delete the watch once no box is to be expected any more.
QPointer<QTimer> AnswerBox(QMessageBox::StandardButton button, QString& seen)
{
    seen.clear();
    return AnswerNextModal([&seen, button](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen = box->windowTitle() + QStringLiteral(": ") + box->text();
            box->button(button)->click();
        }
    });
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
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"drag loop start", "drag loop end", "Find Loop", "Find Loop + Crossfade",
                                 "Auto Loop", "Auto Loop + Crossfade", "Remove Loop", "comb filter", "Reload into a saved copy"})
            QTest::newRow(edit) << QString::fromLatin1(edit);
    }

    void everyKindOfEditIsAskedAboutAndCancelKeepsIt()
    {
        QFETCH(QString, edit);
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        QWidget* viewport = app.GetView()->viewport();
        if (edit == "drag loop start") {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(100, 20));
        } else if (edit == "drag loop end") {
            QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(200, 20));
        } else if (edit == "Find Loop") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        } else if (edit == "Find Loop + Crossfade") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
        } else if (edit == "Auto Loop") {
            frame->OnCmdMsg(ID_EDIT_AUTO_LOOP);
        } else if (edit == "Auto Loop + Crossfade") {
            frame->OnCmdMsg(ID_EDIT_AUTO_LOOP_CROSSFADE);
        } else if (edit == "Remove Loop") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
            QVERIFY(app.OnFileSave());
            frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        } else if (edit == "comb filter") {
            frame->OnCmdMsg(ID_EDIT_SPECTRAL_FILTER);
        } else {
            // The copy holds the crossfade; Reload brings back the frames of
            // the file opened, which the copy does not have.
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
            app.m_strNextFileName = Path("copy.wav");
            QVERIFY(app.OnFileSaveAs());
            QCOMPARE(ShownTitle(frame), QStringLiteral("copy.wav - Ringseam"));
            frame->OnCmdMsg(ID_EDIT_RELOAD);
        }
        const QString title = QString::fromStdString(app.GetDocument().GetTitle());
        QCOMPARE(ShownTitle(frame), title + QStringLiteral("* - Ringseam"));

        const auto before = StateOf(app);
        app.m_strNextFileName = Path("other.wav");  // what Open picks
        for (int nID : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_MRU_FILE1 + 1, ID_APP_EXIT, 0}) {
            QString asked;
            QPointer<QTimer> watch = AnswerBox(QMessageBox::Cancel, asked);
            if (nID)
                frame->OnCmdMsg(nID);
            else
                frame->close();  // the close button
            delete watch;
            QCOMPARE(asked, QStringLiteral("Ringseam: Save changes to %1?").arg(title));
            QVERIFY2(StateOf(app) == before, qPrintable(QString::number(nID)));
        }
    }

    void discardDropsTheChangesSaveWritesThemAndClearsTheMark()
    {
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        QFile file(Path("edit.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray onDisk = file.readAll();
        file.close();

        // Discard: New goes ahead and the file stays as it was.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        QString asked;
        QPointer<QTimer> watch = AnswerBox(QMessageBox::Discard, asked);
        frame->OnCmdMsg(ID_FILE_NEW);
        delete watch;
        QVERIFY(!asked.isEmpty());
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled - Ringseam"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), onDisk);
        file.close();

        // Save clears the mark; reading the own file again is no change, so
        // nothing is asked.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        frame->OnCmdMsg(ID_FILE_SAVE);
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav - Ringseam"));
        watch = AnswerBox(QMessageBox::Cancel, asked);
        QVERIFY(app.OpenDocumentFile(Path("other.wav")));
        delete watch;
        QCOMPARE(asked, QString());

        // Save from the question: the removed loop is written, then the other
        // file opens.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(app.GetDocument().m_bHasLoop);
        frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        watch = AnswerBox(QMessageBox::Save, asked);
        QVERIFY(app.OpenDocumentFile(Path("other.wav")));
        delete watch;
        QVERIFY(!asked.isEmpty());
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(!app.GetDocument().m_bHasLoop);

        // Discard on closing: the window goes.
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        watch = AnswerBox(QMessageBox::Discard, asked);
        frame->close();
        delete watch;
        QVERIFY(!asked.isEmpty());
        QVERIFY(!frame->isVisible());
    }

    void aSaveThatFailsOrIsCancelledKeepsEverything()
    {
        CTestApp app;
        Start(app);
        CMainFrame* frame = app.GetMainFrame();
        // An untitled document with changes: the frames read back after New.
        app.OnFileNew();
        frame->OnCmdMsg(ID_EDIT_RELOAD);
        const auto before = StateOf(app);
        QCOMPARE(std::get<4>(before), QStringLiteral("Untitled* - Ringseam"));

        // Save asks for a name; cancelling it cancels the exit.
        app.m_strNextFileName.clear();
        QString asked;
        QPointer<QTimer> watch = AnswerBox(QMessageBox::Save, asked);
        frame->OnCmdMsg(ID_APP_EXIT);
        delete watch;
        QCOMPARE(asked, QStringLiteral("Ringseam: Save changes to Untitled?"));
        QCOMPARE(app.m_nSavePrompts, 1);
        QVERIFY(StateOf(app) == before);

        // A name the document cannot be saved under: reported, nothing goes.
        app.m_strNextFileName = Path("take.aif");
        QString failure;
        QPointer<QTimer> failureWatch;
        watch = AnswerNextModal([&](QWidget* w) {
            failureWatch = AnswerBox(QMessageBox::Ok, failure);
            if (auto* box = qobject_cast<QMessageBox*>(w))
                box->button(QMessageBox::Save)->click();
        });
        frame->OnCmdMsg(ID_FILE_NEW);
        delete watch;
        delete failureWatch;
        QCOMPARE(failure, QStringLiteral("Ringseam: Failed to save document."));
        QVERIFY(!QFileInfo::exists(Path("take.aif")));
        QVERIFY(StateOf(app) == before);
    }
};

QTEST_MAIN(SaveChangesTest)
#include "SaveChangesTest.moc"
