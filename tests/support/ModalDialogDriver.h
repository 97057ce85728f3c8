// ModalDialogDriver: acts on a modal dialog from inside its own event loop, for tests of code that
// opens a dialog with Display (which does not return until the dialog has closed).
//
// Arm a driver with the dialog's objectName ("frmHost", "frmConfig"...) and an action before the
// call that opens the dialog. Once that dialog is the active modal widget the action runs once,
// inside the dialog's modal loop; it typically fills in controls and presses cmdOK or cmdCancel,
// which ends the loop and lets Display return.
//
//     ModalDialogDriver driver("frmHost", [](QDialog* dialog) {
//         dialog->findChild<QLineEdit*>("txtName")->setText("alpha");
//         QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
//     });
//     const bool saved = host.Display(cmAdd, "AM75G", QString());
//     QVERIFY(driver.ran());
//
// The driver looks every 10 ms. When the dialog has not appeared within the time limit it FAILS
// the running test (as a failed QVERIFY) and closes whichever modal dialog is open, so that a wrong
// dialog cannot hang the test; a driver whose action never ran fails the test when it goes out of
// scope. Drivers for nested dialogs can be armed together, or the action of one can arm the next.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

class ModalDialogDriver {
public:
    ModalDialogDriver(const QString& objectName, std::function<void(QDialog*)> action,
                      int timeoutMs = 5000)
        : objectName_(objectName), action_(std::move(action)), deadline_(timeoutMs) {
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] { look(); });
        poll_.start(10);
    }

    ~ModalDialogDriver() {
        poll_.stop();
        if (!ran_ && !failed_) {
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
        if (dialog && dialog->objectName() == objectName_) {
            poll_.stop();
            ran_ = true;
            action_(dialog);
        } else if (deadline_.hasExpired()) {
            poll_.stop();
            failed_ = true;
            fail(QStringLiteral("dialog %1 did not appear in time").arg(objectName_));
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
    QDeadlineTimer deadline_;
    QTimer poll_;
    bool ran_ = false;
    bool failed_ = false;
};
