#pragma once

#include "shell/CStartOptions.h"

#include <QApplication>

class CPageFactory;

// The application object: runs the main window and ends the program when that window closes.
class CTagDeskApp : public QApplication {
    Q_OBJECT

public:
    CTagDeskApp(int &argc, char **argv);

    // Runs the main window with these pages until it closes; returns the process exit code.
    int run(const CStartOptions &options, const CPageFactory &pages);

    static inline const QString programName = QStringLiteral("tagbench");
    static QString versionText();
    // "<program name text> 2.9".
    static QString windowCaption(const QString &programNameText);
};
