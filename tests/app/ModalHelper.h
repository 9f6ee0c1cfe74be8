// Answers a modal dialog or message box that a test is about to open: polls
// for the active modal widget and hands it to `answer` once, on the event
// loop the dialog runs.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

inline void AnswerNextModal(std::function<void(QWidget*)> answer, int nTimeoutMs = 10000)
{
    auto* timer = new QTimer;
    auto remaining = std::make_shared<int>(nTimeoutMs / 10);
    QObject::connect(timer, &QTimer::timeout, [timer, remaining, answer = std::move(answer)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
            return;
        }
        if (--*remaining <= 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

// The text and caption of the message box `w` (empty when it is no box).
struct BoxSeen {
    QString strText;
    QString strCaption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

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
