#include "kit/CLanguageStore.h"
#include "kit/CShellPrompts.h"
#include "page_test_kit.h"
#include "shell/CPreferenceActions.h"
#include "shell/CShellServices.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PreferenceActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_services.loadConfiguration();
        m_services.loadLanguage();
    }

    int savedLanguagePosition() const {
        return m_services.config().readInt(QStringLiteral("LanguageSelect"));
    }

    QTemporaryDir m_configDirectory;
    const QString m_data = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);
    // A first start on a Chinese system.
    CShellServices m_services{CAppPaths::forProgramDirectory(m_configDirectory.path()),
                              CDataFiles(m_data, m_data),
                              {QStringLiteral("zh-CN")}};
    pagetest::CScriptedReader m_reader;
    pagetest::CFakeMainWindow m_window{m_reader};
    pagetest::CRecordingPrompts &m_prompts = m_window.dialogs;
    CPreferenceActions m_actions{m_services, m_window};
};

TEST_F(PreferenceActionsTest, CancelledLanguageChangeMovesOnlyTheMemoryPosition) {
    m_prompts.confirmAnswer = false;
    EXPECT_FALSE(m_actions.changeLanguage(1));
    EXPECT_EQ(m_services.config().languagePosition(), 1);
    EXPECT_EQ(savedLanguagePosition(), 0);
    ASSERT_EQ(m_prompts.confirmations.size(), 1);
    EXPECT_EQ(m_prompts.confirmations[0].caption, m_services.text(1019));
    EXPECT_EQ(m_prompts.confirmations[0].body,
              m_services.language().format(1020, QStringLiteral("English")));
    EXPECT_TRUE(m_prompts.confirmations[0].body.contains(QStringLiteral("English")));
    EXPECT_TRUE(m_prompts.notices.isEmpty());
}

// The question is asked in the language in use; the notice that the change takes effect at the
// next start comes in the language just chosen, whoever chose it may not read the old one.
TEST_F(PreferenceActionsTest, ConfirmedLanguageChangeIsSavedAndAnnouncedInTheNewLanguage) {
    CLanguageStore english;
    english.load(m_data + QStringLiteral("/Language/English.ini"));
    const QString chineseProgramName = m_services.text(1000);
    ASSERT_NE(english.text(1021), m_services.text(1021));

    EXPECT_TRUE(m_actions.changeLanguage(1));
    EXPECT_EQ(savedLanguagePosition(), 1);
    ASSERT_EQ(m_prompts.confirmations.size(), 1);
    EXPECT_EQ(m_prompts.confirmations[0].body,
              m_services.language().format(1020, QStringLiteral("English")));
    ASSERT_EQ(m_prompts.notices.size(), 1);
    EXPECT_EQ(m_prompts.notices[0].caption, english.text(1019));
    EXPECT_EQ(m_prompts.notices[0].body, english.text(1021));
    EXPECT_EQ(m_services.text(1000), chineseProgramName)
        << "nothing is reloaded before the next start";

    // And back: the notice in Chinese.
    m_prompts.notices.clear();
    EXPECT_TRUE(m_actions.changeLanguage(0));
    ASSERT_EQ(m_prompts.notices.size(), 1);
    EXPECT_EQ(m_prompts.notices[0].body, m_services.text(1021));
}

TEST_F(PreferenceActionsTest, ChosenSkinIsStoredByFileName) {
    m_prompts.fileToOpen = QStringLiteral("/elsewhere/themes/blue.skin");
    EXPECT_TRUE(m_actions.chooseSkin());
    EXPECT_EQ(m_services.config().readText(QStringLiteral("SkinFile")),
              QStringLiteral("blue.skin"));
    EXPECT_EQ(m_prompts.openPath, m_data + QStringLiteral("/skin/"));
    EXPECT_TRUE(m_prompts.openFilter.contains(QStringLiteral("*.skin")));
    ASSERT_EQ(m_prompts.notices.size(), 1);
    EXPECT_EQ(m_prompts.notices[0].caption, m_services.text(1019));
    EXPECT_EQ(m_prompts.notices[0].body, m_services.text(1018));
}

TEST_F(PreferenceActionsTest, CancelledSkinChoiceChangesNothing) {
    EXPECT_FALSE(m_actions.chooseSkin());
    EXPECT_EQ(m_services.config().readText(QStringLiteral("SkinFile")), QStringLiteral("red.skin"));
    EXPECT_TRUE(m_prompts.notices.isEmpty());
}

TEST_F(PreferenceActionsTest, AttachSkinAppliesTheStyleSheet) {
    qApp->setStyleSheet(QString());
    EXPECT_TRUE(m_services.attachSkin());
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    qApp->setStyleSheet(QString());
}

}  // namespace
