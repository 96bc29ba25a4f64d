#include "pages.h"
#include "shell/CPageFactory.h"
#include "shell/CStartOptions.h"
#include "shell/CTagDeskApp.h"

#include <cstdio>

namespace {

int printAndExit(const CParsedCommandLine &parsed)
{
    std::fputs(parsed.message.toLocal8Bit().constData(), *parsed.exitCode == 0 ? stdout : stderr);
    return *parsed.exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    // --help and --version are answered before the application object exists, so they work
    // without a display.
    QStringList rawArguments;
    for (int index = 0; index < argc; ++index)
        rawArguments.append(QString::fromLocal8Bit(argv[index]));
    if (const CParsedCommandLine early = CStartOptions::parse(rawArguments); early.exitCode == 0)
        return printAndExit(early);

    // The application object removes Qt's own options (-platform, -style, ...) from its
    // argument list; what remains must be ours.
    CTagDeskApp app(argc, argv);
    const CParsedCommandLine parsed = CStartOptions::parse(app.arguments());
    if (parsed.exitCode)
        return printAndExit(parsed);
    return app.run(parsed.options, registeredPages());
}
