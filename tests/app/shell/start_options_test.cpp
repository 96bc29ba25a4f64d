#include "shell/CStartOptions.h"

#include <gtest/gtest.h>

namespace {

CParsedCommandLine parse(const QStringList &options) {
    return CStartOptions::parse(QStringList{QStringLiteral("tagbench")} + options);
}

TEST(CStartOptions, NoOptionsRunWithTheProgramDirectory) {
    const CParsedCommandLine parsed = parse({});
    EXPECT_FALSE(parsed.exitCode.has_value());
    EXPECT_TRUE(parsed.options.configDir.isEmpty());
}

TEST(CStartOptions, ConfigDirIsTaken) {
    EXPECT_EQ(parse({QStringLiteral("--config-dir"), QStringLiteral("/tmp/x")}).options.configDir,
              QStringLiteral("/tmp/x"));
    EXPECT_EQ(parse({QStringLiteral("--config-dir=/tmp/y")}).options.configDir,
              QStringLiteral("/tmp/y"));
}

TEST(CStartOptions, HelpAndVersionPrintAndExit) {
    const CParsedCommandLine help = parse({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.message.contains(QStringLiteral("--config-dir")));
    EXPECT_TRUE(help.message.contains(QStringLiteral("Usage: tagbench")));
    const CParsedCommandLine version = parse({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.message, QStringLiteral("tagbench 2.9\n"));
}

TEST(CStartOptions, WrongOptionsExitWithAnError) {
    const CParsedCommandLine unknown = parse({QStringLiteral("--bogus")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.message.contains(QStringLiteral("bogus")));
    EXPECT_EQ(parse({QStringLiteral("--config-dir")}).exitCode, 2) << "value missing";
}

TEST(CStartOptions, DemoFamilyChoosesTheDemoReaderAndImpliesDemo) {
    const CParsedCommandLine alder =
        parse({QStringLiteral("--demo-family"), QStringLiteral("alder")});
    EXPECT_FALSE(alder.exitCode.has_value());
    EXPECT_TRUE(alder.options.demo);
    EXPECT_EQ(alder.options.demoFamily, QStringLiteral("alder"));
    EXPECT_TRUE(parse({QStringLiteral("--demo")}).options.demoFamily.isEmpty());
    EXPECT_FALSE(parse({QStringLiteral("--demo-family=0xC2")}).exitCode.has_value());
    const CParsedCommandLine wrong =
        parse({QStringLiteral("--demo-family"), QStringLiteral("oak")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.message.contains(QStringLiteral("oak")));
}

}  // namespace
