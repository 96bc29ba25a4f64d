#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The file chooser and message box of the export, behind an interface so that the export can
// be tested without modal dialogs.
class ITagExportPrompts {
public:
    struct Choice {
        QString path;
        // Index into the filters offered.
        int filter = 0;
    };

    virtual ~ITagExportPrompts() = default;
    // A chooser in which an existing file can be picked or a new name typed; nothing when
    // cancelled.
    virtual std::optional<Choice> chooseFile(
        const QString &title, const QString &initialPath, const QStringList &filters)
        = 0;
    // OK/Cancel question with a warning icon; true for OK.
    virtual bool confirm(const QString &caption, const QString &body) = 0;
    virtual void showFailure(const QString &caption, const QString &body) = 0;
};

// Qt dialogs over the page.
class CWidgetExportPrompts final : public ITagExportPrompts {
public:
    explicit CWidgetExportPrompts(QWidget *parent);

    std::optional<Choice> chooseFile(
        const QString &title, const QString &initialPath, const QStringList &filters) override;
    bool confirm(const QString &caption, const QString &body) override;
    void showFailure(const QString &caption, const QString &body) override;

private:
    QWidget *m_parent;
};
