#pragma once

#include <QString>

class QWidget;

// The message boxes and file chooser the shell's actions and the pages need, behind an
// interface so they can be tested without modal dialogs.
class IShellPrompts {
public:
    virtual ~IShellPrompts() = default;
    // OK/Cancel question with a warning icon; true for OK.
    virtual bool confirm(const QString &caption, const QString &body) = 0;
    // Notice with a warning icon and an OK button.
    virtual void inform(const QString &caption, const QString &body) = 0;
    // File chooser for opening; empty when cancelled.
    virtual QString chooseFileToOpen(const QString &initialPath, const QString &filter) = 0;
    // File chooser for saving, proposing a path and asking before an existing file is chosen;
    // empty when cancelled.
    virtual QString chooseFileToSave(
        const QString &title, const QString &proposedPath, const QString &filter)
        = 0;
};

// Qt dialogs over the window the operator works in (the main window or a tool window such as
// the maintenance window), else over the parent window.
class CWidgetPrompts final : public IShellPrompts {
public:
    explicit CWidgetPrompts(QWidget *parent);

    bool confirm(const QString &caption, const QString &body) override;
    void inform(const QString &caption, const QString &body) override;
    QString chooseFileToOpen(const QString &initialPath, const QString &filter) override;
    QString chooseFileToSave(
        const QString &title, const QString &proposedPath, const QString &filter) override;

private:
    QWidget *owner() const;

    QWidget *m_parent;
};
