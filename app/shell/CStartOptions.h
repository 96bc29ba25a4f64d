#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;
struct CParsedCommandLine;

// Command-line options of tagbench. To add an option: a field here, one addOption() line in
// declare() and one line in read().
struct CStartOptions {
    // Folder used instead of the program directory for SystemConfig.ini and Log/.
    QString configDir;
    // Start a virtual reader in the process and pre-select it on the network transport.
    bool demo = false;
    // The demo reader's family name or type byte ("alder", "0xC2"); empty: the demo's own.
    QString demoFamily;

    // arguments[0] is the program. Needs no application object, so --help and --version work
    // without a display.
    static CParsedCommandLine parse(const QStringList &arguments);

private:
    static void declare(QCommandLineParser &parser);
    static CStartOptions read(const QCommandLineParser &parser);
};

// What parsing the command line decided: run with the options, or print the message and exit
// with exitCode (--help, --version, a wrong option).
struct CParsedCommandLine {
    CStartOptions options;
    std::optional<int> exitCode;
    QString message;
};
