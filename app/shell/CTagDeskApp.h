#pragma once

#include "shell/CStartOptions.h"

#include <QApplication>

// The application object: runs the main window and ends the program when that window closes.
class CTagDeskApp : public QApplication
{
    Q_OBJECT

public:
    CTagDeskApp(int &argc, char **argv);

    // Runs the main window until it closes; returns the process exit code.
    int run(const CStartOptions &options);

    static inline const QString programName = QStringLiteral("tagbench");
    // The version shown in the window caption.
    static constexpr double softwareVersion = 2.9;
    static QString versionText();
    // "<program name text> 2.9".
    static QString windowCaption(const QString &programNameText);
};
