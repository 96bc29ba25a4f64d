#include "kit/CBusyState.h"

CBusyState::CBusyState(QWidget *page)
    : m_page(page)
{
}

void CBusyState::setControls(const QList<QWidget *> &controls)
{
    m_controls.clear();
    for (QWidget *control : controls)
        addControl(control);
}

void CBusyState::addControl(QWidget *control)
{
    m_controls.append(control);
}

void CBusyState::begin()
{
    if (m_depth++ > 0)
        return;
    m_page->setCursor(Qt::BusyCursor);
    for (const QPointer<QWidget> &control : m_controls) {
        if (control && control->isEnabled()) {
            control->setEnabled(false);
            m_disabled.append(control);
        }
    }
}

void CBusyState::end()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    for (const QPointer<QWidget> &control : m_disabled) {
        if (control)
            control->setEnabled(true);
    }
    m_disabled.clear();
    m_page->unsetCursor();
}
