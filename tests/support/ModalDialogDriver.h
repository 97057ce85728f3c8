// ModalDialogDriver: armed with a dialog's objectName and an action before a call that runs the
// dialog modally (Display), it runs the action once inside the modal loop, when that dialog is the
// active modal widget. No wrong dialog can hang the test: the driver FAILS it (a failed QVERIFY)
// and closes the modal dialog when it has not appeared within the time limit, or is still open
// that long after the action; an action that never ran fails the test at the end of the scope.
// Armed without an action, it asserts that the dialog does not appear at all.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

class ModalDialogDriver {
public:
    ModalDialogDriver(const QString& objectName, std::function<void(QDialog*)> action,
                      int timeoutMs = 5000)
        : objectName_(objectName), action_(std::move(action)), timeoutMs_(timeoutMs),
          deadline_(timeoutMs) {
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] { look(); });
        poll_.start(10);
    }

    ~ModalDialogDriver() {
        if (action_ && !ran_ && !failed_) {
            fail(QStringLiteral("dialog %1 never appeared").arg(objectName_));
        }
    }

    ModalDialogDriver(const ModalDialogDriver&) = delete;
    ModalDialogDriver& operator=(const ModalDialogDriver&) = delete;

    bool ran() const { return ran_; }

private:
    void look() {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QDialog*>(modal);
        const bool ours = dialog && dialog->objectName() == objectName_;
        if (ours && !action_) {
            giveUp(modal, QStringLiteral("dialog %1 appeared").arg(objectName_));
        } else if (ours && !ran_) {
            ran_ = true;
            deadline_.setRemainingTime(timeoutMs_); // now for the dialog to close
            action_(dialog);
        } else if (action_ && (ours || !ran_) && deadline_.hasExpired()) {
            giveUp(modal, QStringLiteral("dialog %1 did not %2 in time")
                              .arg(objectName_, ran_ ? "close" : "appear"));
        }
    }

    void giveUp(QWidget* modal, const QString& message) {
        poll_.stop();
        failed_ = true;
        fail(message);
        if (modal) {
            modal->close();
        }
    }

    static void fail(const QString& message) {
        QTest::qVerify(false, "ModalDialogDriver", qPrintable(message), __FILE__, __LINE__);
    }

    QString objectName_;
    std::function<void(QDialog*)> action_;
    int timeoutMs_;
    QDeadlineTimer deadline_;
    QTimer poll_;
    bool ran_ = false;
    bool failed_ = false;
};
