#include "shell/CStartOptions.h"

#include "shell/CTagDeskApp.h"

#include "reader_family.h"

#include <QCommandLineParser>

namespace {

const QString configDirOption = QStringLiteral("config-dir");
const QString demoOption = QStringLiteral("demo");
const QString demoFamilyOption = QStringLiteral("demo-family");

bool isFamily(const QString &text)
{
    return readerfamily::parseFamilyOrType(text.toStdString()).has_value();
}

} // namespace

void CStartOptions::declare(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Configure and exercise UHF RFID readers over serial, USB or TCP/IP."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({ configDirOption,
        QStringLiteral("Keep SystemConfig.ini and the Log folder in <dir> instead "
                       "of the program's folder."),
        QStringLiteral("dir") });
    parser.addOption({ demoOption,
        QStringLiteral("Start with a virtual reader on a free local port, chosen "
                       "on the network transport (press Open to connect).") });
    parser.addOption({ demoFamilyOption,
        QStringLiteral("With --demo (implied): the virtual reader's family (%1) "
                       "or type byte as 0x..; fir when not given.")
            .arg(QString::fromStdString(readerfamily::familyNames())),
        QStringLiteral("name") });
}

CStartOptions CStartOptions::read(const QCommandLineParser &parser)
{
    CStartOptions options;
    options.configDir = parser.value(configDirOption);
    options.demo = parser.isSet(demoOption) || parser.isSet(demoFamilyOption);
    if (parser.isSet(demoFamilyOption))
        options.demoFamily = parser.value(demoFamilyOption);
    return options;
}

CParsedCommandLine CStartOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    declare(parser);
    const bool parsedCleanly = parser.parse(arguments);
    // Without an application object the parser cannot name the program in its usage line.
    const QString helpText
        = parser.helpText().replace(QStringLiteral("<executable_name>"), CTagDeskApp::programName);
    CParsedCommandLine parsed;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        parsed.exitCode = 0;
        parsed.message = helpText;
    } else if (parser.isSet(QStringLiteral("version"))) {
        parsed.exitCode = 0;
        parsed.message = CTagDeskApp::programName + u' ' + CTagDeskApp::versionText() + u'\n';
    } else if (!parsedCleanly) {
        parsed.exitCode = 2;
        parsed.message = parser.errorText() + QStringLiteral("\n\n") + helpText;
    } else if (parser.isSet(demoFamilyOption) && !isFamily(parser.value(demoFamilyOption))) {
        parsed.exitCode = 2;
        parsed.message = QStringLiteral("Unknown reader family: ") + parser.value(demoFamilyOption)
            + QStringLiteral("\n\n") + helpText;
    } else {
        parsed.options = read(parser);
    }
    return parsed;
}
