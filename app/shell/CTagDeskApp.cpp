#include "shell/CTagDeskApp.h"

#include "shell/CTagDeskDlg.h"

CTagDeskApp::CTagDeskApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(programName);
    setApplicationVersion(versionText());
}

QString CTagDeskApp::versionText()
{
    return QString::number(softwareVersion, 'f', 1);
}

QString CTagDeskApp::windowCaption(const QString &programNameText)
{
    return programNameText + u' ' + versionText();
}

int CTagDeskApp::run(const CStartOptions &options)
{
    CTagDeskDlg mainWindow(CAppPaths::forRunningProgram(options.configDir),
                           CDataFiles::forRunningProgram());
    mainWindow.exec();
    return 0;
}
