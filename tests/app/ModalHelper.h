// Answers a modal dialog or message box that a test is about to open: polls
// for the active modal widget and hands it to `answer` once, on the event
// loop the dialog runs.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>

// Rejects `modal` if it is still open `nMs` after it was answered, and fails
// the running test: an answer that did not close its dialog must not leave
// the test waiting in exec() until ctest kills it.
inline void FailIfStillOpen(QPointer<QWidget> modal, int nMs = 5000)
{
    QTimer::singleShot(nMs, [modal] {
        if (!modal || !modal->isVisible())
            return;
        // A box the dialog raised in turn (overwrite, file not found) goes first.
        if (QWidget* top = QApplication::activeModalWidget(); top && top != modal)
            if (auto* nested = qobject_cast<QDialog*>(top))
                nested->reject();
        if (auto* dlg = qobject_cast<QDialog*>(modal.data()))
            dlg->reject();
        QTest::qFail("the modal dialog stayed open after it was answered", __FILE__, __LINE__);
    });
}

// Returns the polling timer: deleting it stops waiting for a modal that
// should not come.
inline QPointer<QTimer> AnswerNextModal(std::function<void(QWidget*)> answer, int nTimeoutMs = 10000)
{
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(nTimeoutMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, answer = std::move(answer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            // Armed first: an answer may itself block in a box the dialog raises.
            FailIfStillOpen(modal);
            answer(modal);
            return;
        }
        if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
    return timer;
}

// Types `path` into a file dialog's name field and presses its accept button.
// The dialog prefers a file selected in its list over the typed name, and
// only drops that selection or updates the field while the field has focus;
// clearing the list and setting the field directly keeps the test
// independent of when the window got activated.
inline void TypeFileNameAndAccept(QFileDialog* dlg, const QString& path)
{
    for (auto* view : dlg->findChildren<QAbstractItemView*>())
        if (view->selectionModel())
            view->selectionModel()->clearSelection();
    if (auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    else
        dlg->selectFile(path);
    static_cast<QDialog*>(dlg)->accept();
}

// The text and caption of the message box `w` (empty when it is no box).
struct BoxSeen {
    QString strText;
    QString strCaption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// The window title as the desktop shows it: Qt's placeholder replaced by the
// mark of unsaved changes, or dropped.
inline QString ShownTitle(QWidget* w)
{
    w->winId();  // the native window carries the shown title
    return w->windowHandle()->title();
}

// Runs `action`, answering the message boxes it raises with `buttons` in
// turn; returns each box's "caption: text". Stops watching when `action`
// returns, so an answer meant for a box that never came costs no wait.
inline QStringList AnswerBoxesDuring(const QList<QMessageBox::StandardButton>& buttons,
                                     const std::function<void()>& action)
{
    QStringList seen;
    QPointer<QTimer> watch;
    std::function<void()> arm = [&] {
        watch = AnswerNextModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                seen << box->windowTitle() + QStringLiteral(": ") + box->text();
                if (seen.size() < buttons.size())
                    arm();  // before the click: the answer may raise the next box
                box->button(buttons[seen.size() - 1])->click();
            }
        });
    };
    arm();
    action();
    delete watch;
    return seen;
}

inline BoxSeen CloseMessageBox(QWidget* w)
{
    BoxSeen seen;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        seen.strText = box->text();
        seen.strCaption = box->windowTitle();
        seen.icon = box->icon();
        box->accept();
    }
    return seen;
}
