#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Shows that a page's reader operation is running: the buttons that would start another one
// are disabled and the page shows a busy cursor; ending restores exactly the controls that
// were enabled before. Nested operations end the busy state when the last one ends.
class CBusyState {
public:
    explicit CBusyState(QWidget *page);

    // The controls disabled while busy.
    void setControls(const QList<QWidget *> &controls);
    void addControl(QWidget *control);

    void begin();
    void end();
    bool isBusy() const { return m_depth > 0; }

private:
    QWidget *m_page;
    QList<QPointer<QWidget>> m_controls;
    QList<QPointer<QWidget>> m_disabled;
    int m_depth = 0;
};
