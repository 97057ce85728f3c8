// SPDX-FileCopyrightText: 2026 ZEB contributors
// SPDX-License-Identifier: MIT

// A label drawn as a link: blue, underlined, a hand-shaped pointer, and reachable from the
// keyboard (Tab gives it the focus; Enter, Return or Space then follow it). A click anywhere on
// the label follows it, as on the label it stands in for, and leaves the focus where it was: a
// link a click had focused would take the dialog's next Enter from its default button. Screen
// readers are told it is a link, and their press action follows it too.
#pragma once

#include <QLabel>

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
