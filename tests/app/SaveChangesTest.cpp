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

#include <vector>

namespace {

// What Cancel must leave exactly as it was.
struct DocState {
    std::vector<double> frames;
    bool bHasLoop = false;
    int nLoopStart = 0;
    int nLoopEnd = 0;
    QString strTitle;
    bool bVisible = false;
    QStringList recent;

    static DocState Of(CTestApp& app)
    {
        const CQuorvelDoc& doc = app.GetDocument();
        return {doc.m_pSamples, doc.m_bHasLoop, doc.m_nLoopStart, doc.m_nLoopEnd, ShownTitle(app.GetMainFrame()),
                app.GetMainFrame()->isVisible(), app.GetRecentFileList().GetList()};
    }
    bool operator==(const DocState&) const = default;
};

// Answers the next message box with `button` and records its caption and
// text ("caption: text"); returns the watch, to be deleted once no box is to
// be expected any more.
QPointer<QTimer> AnswerBox(QMessageBox::StandardButton button, QString& text)
{
    text.clear();
    return AnswerNextModal([&text, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return;
        text = box->windowTitle() + QStringLiteral(": ") + box->text();
        box->button(button)->click();
    });
}

}  // namespace

class SaveChangesTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // edit.wav (no loop) opened after other.wav, so the recent-file list has
    // an entry to go to.
    void Start(CTestApp& app)
    {
        QVERIFY(WriteToneWav(Path("edit.wav"), 30000));
        QVERIFY(app.InitInstance({Path("other.wav")}));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("edit.wav - Ringseam"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Path("config"));
        QVERIFY(WriteToneWav(Path("other.wav"), 20000));
    }

    void everyKindOfEditIsAskedAboutAndCancelKeepsIt_data()
    {
        QTest::addColumn<QString>("edit");
        for (const char* edit : {"drag loop start", "drag loop end", "Find Loop", "Find Loop + Crossfade",
                                 "Remove Loop", "comb filter", "Reload into a saved copy"})
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
            QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(100, 20));
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(100, 20));
        } else if (edit == "drag loop end") {
            QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(200, 20));
            QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(200, 20));
        } else if (edit == "Find Loop") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        } else if (edit == "Find Loop + Crossfade") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP_CROSSFADE);
        } else if (edit == "Remove Loop") {
            frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
            QVERIFY(app.OnFileSave());
            QCOMPARE(ShownTitle(frame), QStringLiteral("edit.wav - Ringseam"));
            frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
        } else if (edit == "comb filter") {
            frame->OnCmdMsg(ID_EDIT_SPECTRAL_FILTER);
        } else if (edit == "Reload into a saved copy") {
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

        const DocState before = DocState::Of(app);
        app.m_strNextFileName = Path("other.wav");  // what Open picks
        const std::pair<const char*, int> replacing[] = {{"New", ID_FILE_NEW},
                                                         {"Open", ID_FILE_OPEN},
                                                         {"recent file", ID_FILE_MRU_FILE1 + 1},
                                                         {"Exit", ID_APP_EXIT},
                                                         {"close button", 0}};
        for (const auto& [name, nID] : replacing) {
            QString asked;
            QPointer<QTimer> watch = AnswerBox(QMessageBox::Cancel, asked);
            if (nID)
                frame->OnCmdMsg(nID);
            else
                frame->close();
            delete watch;
            QCOMPARE(asked, QStringLiteral("Ringseam: Save changes to %1?").arg(title));
            QVERIFY2(DocState::Of(app) == before, name);
        }
    }

    void withoutChangesNothingIsAsked()
    {
        CTestApp app;
        Start(app);
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_FIND_LOOP);
        app.GetMainFrame()->OnCmdMsg(ID_FILE_SAVE);  // saving clears the mark
        QCOMPARE(ShownTitle(app.GetMainFrame()), QStringLiteral("edit.wav - Ringseam"));
        // Reading the same frames again is no change either.
        app.GetMainFrame()->OnCmdMsg(ID_EDIT_RELOAD);
        QString asked;
        QPointer<QTimer> watch = AnswerBox(QMessageBox::Cancel, asked);
        app.GetMainFrame()->OnCmdMsg(ID_FILE_NEW);
        delete watch;
        QCOMPARE(asked, QString());
        QVERIFY(!app.GetDocument().m_bLoaded);
    }

    void discardDropsTheChangesAndSaveWritesThem()
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
        QVERIFY(!app.GetDocument().m_bLoaded);
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled - Ringseam"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), onDisk);
        file.close();

        // Save: the loop is written, then the other file opens unasked.
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        frame->OnCmdMsg(ID_EDIT_FIND_LOOP);
        const int nLoopStart = app.GetDocument().m_nLoopStart;
        watch = AnswerBox(QMessageBox::Save, asked);
        QVERIFY(app.OpenDocumentFile(Path("other.wav")));
        delete watch;
        QVERIFY(!asked.isEmpty());
        QCOMPARE(ShownTitle(frame), QStringLiteral("other.wav - Ringseam"));
        QVERIFY(app.OpenDocumentFile(Path("edit.wav")));
        QVERIFY(app.GetDocument().m_bHasLoop);
        QCOMPARE(app.GetDocument().m_nLoopStart, nLoopStart);

        // Discard on closing: the window goes.
        frame->OnCmdMsg(ID_EDIT_REMOVE_LOOP);
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
        QCOMPARE(ShownTitle(frame), QStringLiteral("Untitled* - Ringseam"));
        const DocState before = DocState::Of(app);

        // Save asks for a name; cancelling it cancels the exit.
        app.m_strNextFileName.clear();
        QString asked;
        QPointer<QTimer> watch = AnswerBox(QMessageBox::Save, asked);
        frame->OnCmdMsg(ID_APP_EXIT);
        delete watch;
        QCOMPARE(asked, QStringLiteral("Ringseam: Save changes to Untitled?"));
        QCOMPARE(app.m_nSavePrompts, 1);
        QVERIFY(DocState::Of(app) == before);

        // A name the document cannot be saved under: reported, nothing goes.
        app.m_strNextFileName = Path("take.aif");
        QString failure;
        QPointer<QTimer> failureWatch;
        watch = AnswerNextModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            asked = box->windowTitle() + QStringLiteral(": ") + box->text();
            failureWatch = AnswerBox(QMessageBox::Ok, failure);
            box->button(QMessageBox::Save)->click();
        });
        frame->OnCmdMsg(ID_FILE_NEW);
        delete watch;
        delete failureWatch;
        QCOMPARE(asked, QStringLiteral("Ringseam: Save changes to Untitled?"));
        QCOMPARE(failure, QStringLiteral("Ringseam: Failed to save document."));
        QVERIFY(!QFileInfo::exists(Path("take.aif")));
        QVERIFY(DocState::Of(app) == before);
    }
};

QTEST_MAIN(SaveChangesTest)
#include "SaveChangesTest.moc"
