#include "shell/CTagDeskApp.h"

#include "kit/CVersion.h"
#include "shell/CDemoReader.h"
#include "shell/CTagDeskDlg.h"

#include <optional>

CTagDeskApp::CTagDeskApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(programName);
    setApplicationVersion(versionText());
}

QString CTagDeskApp::versionText()
{
    return QString::number(CVersion::software, 'f', 1);
}

QString CTagDeskApp::windowCaption(const QString &programNameText)
{
    return programNameText + u' ' + versionText();
}

int CTagDeskApp::run(const CStartOptions &options, const CPageFactory &pages)
{
    // Made before the window, so it is still serving while the window closes the connection.
    std::optional<CDemoReader> demoReader;
    if (options.demo)
        demoReader.emplace(options.demoFamily);
    CTagDeskDlg mainWindow(
        CAppPaths::forRunningProgram(options.configDir), CDataFiles::forRunningProgram(), pages);
    if (demoReader)
        mainWindow.preselectNetwork(CDemoReader::address, demoReader->portText());
    mainWindow.exec();
    return 0;
}
