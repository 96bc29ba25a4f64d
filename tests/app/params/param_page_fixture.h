// What the parameter page tests share: a page of any family in a fake main window, and ways to
// reach its controls and wait for its outcomes.
#pragma once

#include "page_test_kit.h"
#include "params/CDlgParamPage.h"
#include "reader_family.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace paramtest {

using readerfamily::Family;

// The family's page class.
std::unique_ptr<CDlgParamPage> makePage(Family family, IMainWindowServices &services);

template <typename Control>
Control *child(QWidget *page, const char *name) {
    auto *control = page->findChild<Control *>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

inline QComboBox *list(QWidget *page, const char *name) {
    return child<QComboBox>(page, name);
}

inline QLineEdit *edit(QWidget *page, const char *name) {
    return child<QLineEdit>(page, name);
}

inline QCheckBox *check(QWidget *page, const char *name) {
    return child<QCheckBox>(page, name);
}

inline void press(QWidget *page, const char *name) {
    child<QPushButton>(page, name)->click();
}

// How often the window's log holds the text of key.
int logCount(const pagetest::CFakeMainWindow &window, int key);
// Waits until the log holds key's text `count` times.
bool waitForLogCount(const pagetest::CFakeMainWindow &window, int key, int count);

}  // namespace paramtest
