// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// ModalDialogDriver: runs the action once on the modal dialog of that objectName; FAILS the test
// (closing the dialog) when it does not appear or close within five seconds, or never came by scope
// end. Without an action, the dialog must not appear at all.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

class ModalDialogDriver {
public:
    ModalDialogDriver(const QString& objectName, std::function<void(QDialog*)> action)
        : objectName_(objectName), action_(std::move(action)) {
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] { look(); });
        poll_.start(10);
    }

    ~ModalDialogDriver() {
        if (action_ && !ran_ && poll_.isActive()) { // not when it gave up already
            fail(QStringLiteral("dialog %1 never appeared").arg(objectName_));
        }
    }

    bool ran() const { return ran_; }

private:
    static constexpr int TIMEOUT_MS = 5000;

    void look() {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QDialog*>(modal);
        const bool ours = dialog && dialog->objectName() == objectName_;
        if (ours && action_ && !ran_) {
            ran_ = true;
            deadline_.setRemainingTime(TIMEOUT_MS); // now for the dialog to close
            action_(dialog);
        } else if (action_ ? (ours || !ran_) && deadline_.hasExpired() : ours) {
            poll_.stop();
            fail(QStringLiteral("dialog %1 %2")
                     .arg(objectName_, !action_ ? "appeared"
                                       : ran_   ? "did not close in time"
                                                : "did not appear in time"));
            if (modal) {
                modal->close();
            }
        }
    }

    static void fail(const QString& message) {
        QTest::qVerify(false, "ModalDialogDriver", qPrintable(message), __FILE__, __LINE__);
    }

    QString objectName_;
    std::function<void(QDialog*)> action_;
    QDeadlineTimer deadline_{TIMEOUT_MS};
    QTimer poll_;
    bool ran_ = false;
};
