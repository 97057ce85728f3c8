// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// The floor the dialog benchmarks compare ZEB with: the least a Qt 6 program does to show a
// dialog, built as zeb is (same compiler, flags and Qt) and as large as the selection dialog.
// Whatever ZEB spends beyond this is ZEB's own.
#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Floor dialog"));
    dialog.setFixedSize(4695 / 15, 2715 / 15);
    return dialog.exec();
}
