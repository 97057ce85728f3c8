// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The floor the dialog benchmarks compare ZEB with: the least a Qt 6 program does to show a
// dialog a person can read and answer (one line of text and an OK button), built as zeb is (same
// compiler, flags and Qt) and as large as the selection dialog. An empty window would be cheaper
// still, but no dialog is one: the first text drawn loads the font configuration and a font,
// which every dialog pays. Whatever ZEB spends beyond this is ZEB's own. `floor_dialog --empty`
// shows the window alone, for reference.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Floor dialog"));
    dialog.setFixedSize(4695 / 15, 2715 / 15);
    if (QApplication::arguments().contains(QStringLiteral("--empty"))) {
        return dialog.exec();
    }
    QLabel text(QStringLiteral("Please select a connection."), &dialog);
    text.move(8, 8);
    QPushButton ok(QStringLiteral("OK"), &dialog);
    ok.move(8, 40);
    QObject::connect(&ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    return dialog.exec();
}
